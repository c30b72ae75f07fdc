#include "ui/platform/X11ScreenScale.h"

#include <xcb/xcb_xrm.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace ui::x11 {

namespace {

constexpr double kBaseDpi = 96.0;

struct DatabaseDeleter {
    void operator()(xcb_xrm_database_t* database) const noexcept {
        xcb_xrm_database_free(database);
    }
};

} // namespace

float ScreenScaleForDpi(double dpi) {
    if (!std::isfinite(dpi) || dpi <= 0.0)
        return 1.0f;
    // std::round takes halves away from zero.
    const double factor = std::round(dpi / kBaseDpi);
    return factor < 1.0 ? 1.0f : static_cast<float>(factor);
}

double ParseDpi(const char* text) {
    if (text == nullptr)
        return 0.0;
    const char* begin = text;
    const char* end = text + std::strlen(text);
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n'))
        --end;
    double value = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || value <= 0.0)
        return 0.0;
    return value;
}

double ReadXftDpi(xcb_connection_t* connection, xcb_screen_t* screen) {
    if (connection == nullptr || screen == nullptr)
        return 0.0;
    std::unique_ptr<xcb_xrm_database_t, DatabaseDeleter> database(
        xcb_xrm_database_from_resource_manager(connection, screen));
    if (!database)
        return 0.0;
    char* value = nullptr;
    if (xcb_xrm_resource_get_string(database.get(), "Xft.dpi", nullptr, &value) < 0 ||
        value == nullptr)
        return 0.0;
    const double dpi = ParseDpi(value);
    std::free(value);
    return dpi;
}

} // namespace ui::x11
