// Program entry; the command line and start-up follow.
#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
#else
int main() { return 0; }
#endif
