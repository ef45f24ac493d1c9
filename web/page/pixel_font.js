// A 3 × 5 pixel font of our own for the page's canvas (digits, capitals and a few signs), so
// labels stay sharp when the picture is scaled up like the jukebox's screen. Lower case is drawn
// as capitals; characters it lacks are drawn as blanks.

// Each glyph: five rows, top first; in a row, 4 is the left pixel, 2 the middle, 1 the right.
// clang-format off
const GLYPHS = {
  '0': [7, 5, 5, 5, 7], '1': [2, 6, 2, 2, 7], '2': [7, 1, 7, 4, 7], '3': [7, 1, 3, 1, 7],
  '4': [5, 5, 7, 1, 1], '5': [7, 4, 7, 1, 7], '6': [7, 4, 7, 5, 7], '7': [7, 1, 1, 2, 2],
  '8': [7, 5, 7, 5, 7], '9': [7, 5, 7, 1, 7],
  'A': [2, 5, 7, 5, 5], 'B': [6, 5, 6, 5, 6], 'C': [3, 4, 4, 4, 3], 'D': [6, 5, 5, 5, 6],
  'E': [7, 4, 6, 4, 7], 'F': [7, 4, 6, 4, 4], 'G': [3, 4, 5, 5, 3], 'H': [5, 5, 7, 5, 5],
  'I': [7, 2, 2, 2, 7], 'J': [1, 1, 1, 5, 2], 'K': [5, 5, 6, 5, 5], 'L': [4, 4, 4, 4, 7],
  'M': [5, 7, 5, 5, 5], 'N': [6, 5, 5, 5, 5], 'O': [2, 5, 5, 5, 2], 'P': [6, 5, 6, 4, 4],
  'Q': [2, 5, 5, 6, 3], 'R': [6, 5, 6, 5, 5], 'S': [3, 4, 2, 1, 6], 'T': [7, 2, 2, 2, 2],
  'U': [5, 5, 5, 5, 7], 'V': [5, 5, 5, 5, 2], 'W': [5, 5, 5, 7, 5], 'X': [5, 5, 2, 5, 5],
  'Y': [5, 5, 2, 2, 2], 'Z': [7, 1, 2, 4, 7],
  '-': [0, 0, 7, 0, 0], ':': [0, 2, 0, 2, 0], '/': [1, 1, 2, 4, 4], '.': [0, 0, 0, 0, 2],
  '#': [5, 7, 5, 7, 5], '+': [0, 2, 7, 2, 0], ' ': [0, 0, 0, 0, 0],
};
// clang-format on

export const GLYPH_WIDTH = 3;
export const GLYPH_HEIGHT = 5;
export const GLYPH_ADVANCE = 4;

// The glyph rows of a character (blank for one the font lacks).
export function glyphOf(character) { return GLYPHS[character.toUpperCase()] ?? GLYPHS[' ']; }

// Draws `text` with its top-left corner at (x, y) in whole pixels of `context`'s current fill
// colour; returns the x after the last glyph.
export function drawText(context, text, x, y) {
  for (const character of text) {
    const rows = glyphOf(character);
    for (let row = 0; row < GLYPH_HEIGHT; ++row)
      for (let column = 0; column < GLYPH_WIDTH; ++column)
        if (rows[row] & (4 >> column)) context.fillRect(x + column, y + row, 1, 1);
    x += GLYPH_ADVANCE;
  }
  return x;
}

// The width in pixels `text` takes.
export function textWidth(text) { return text.length * GLYPH_ADVANCE - 1; }
