// A module that loads but lacks the driver entry point: the host skips it.
extern "C" __attribute__((visibility("default"))) int corvaneSomethingElse()
{
    return 42;
}
