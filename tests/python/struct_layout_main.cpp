// Prints the C API's struct layout as this build's compiler lays it out (web/struct_layout.cpp's
// JSON), so the Python package's test can check its ctypes declarations field by field.
#include <cstdio>

extern "C" const char* web_struct_layout();

int main() { return std::puts(web_struct_layout()) < 0 ? 1 : 0; }
