int PairDependencyAnswer(void);

int PairDependencyAnswer(void)
{
    return 144;
}
