// Default options of the sanitizer runtimes, compiled into every target of a
// sanitizer build: any report ends the process with a failure, however the
// program or test is started. Options given in the environment still win.

extern "C" const char* __asan_default_options()
{
    return "halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1";
}

extern "C" const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}

extern "C" const char* __tsan_default_options()
{
    return "halt_on_error=1:second_deadlock_stack=1";
}
