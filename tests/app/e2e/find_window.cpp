// For the end-to-end tests: prints the id of every mapped window whose title is exactly NAME
// (its _NET_WM_NAME, else its WM_NAME), one per line. Message boxes title themselves in UTF-8
// only, which xdotool's name search does not read. Usage: find_window NAME (on $DISPLAY).
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

namespace {

std::string Property(Display* display, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format,
                         &count, &after, &data) != Success ||
      !data)
    return {};
  std::string text(reinterpret_cast<char*>(data), count);
  XFree(data);
  return text;
}

void Search(Display* display, Window window, const std::string& name, Atom net_name) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable) {
    std::string title = Property(display, window, net_name);
    if (title.empty()) title = Property(display, window, XA_WM_NAME);
    if (title == name) std::printf("%lu\n", window);
  }
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return;
  for (unsigned int i = 0; i < count; ++i) Search(display, children[i], name, net_name);
  if (children) XFree(children);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  Search(display, DefaultRootWindow(display), argv[1], XInternAtom(display, "_NET_WM_NAME", False));
  XCloseDisplay(display);
  return 0;
}
