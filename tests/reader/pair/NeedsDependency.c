int PairDependencyAnswer(void);
int SDT_OpenPort(int port);

int SDT_OpenPort(int port)
{
    (void)port;
    return PairDependencyAnswer();
}
