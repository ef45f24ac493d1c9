// The jukebox program. Runs in the game folder (the current directory holds Org\ and system\).
#include "app/jukebox_app.h"

int main() { return app::RunJukebox(); }
