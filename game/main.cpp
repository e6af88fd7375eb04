// The process entry: hands over to the game's windowed-program entry, as the
// runtime's start-up does; the command line is not used.
#include "game/winmain.h"

int main()
{
    return WinMain(nullptr, nullptr, nullptr, 0);
}
