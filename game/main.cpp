// The game's process entry; the game itself lands with its own subsystem.
int main()
{
    return 0;
}
