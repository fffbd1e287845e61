/* Process-wide set-up shared by every test executable. */
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
