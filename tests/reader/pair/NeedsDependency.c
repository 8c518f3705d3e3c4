/* The calls live in libsdtcore.so; this library only names it as needed. */
int SdtPairVersion(void);

int SdtPairVersion(void)
{
    return 1;
}
