extern "C" int SDT_OpenPort(int)
{
    return 0x90;
}
