/*
 * gk_test_env.cpp -- process-wide set-up shared by every test executable:
 * the headless switches that keep message boxes from blocking and sound
 * on OpenAL Soft's null backend, also when a test binary is run by hand.
 */
#include <cstdlib>

namespace {
struct gk_test_env_s {
    gk_test_env_s() {
        setenv("GACKATRON_HEADLESS", "1", 0);
        setenv("ALSOFT_DRIVERS", "null", 0);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
} gk_test_env;
}
