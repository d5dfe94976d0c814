// Opens an address in the desktop's default program.
#include "platform/ShellOpen.h"

#include <QDesktopServices>

namespace {
std::function<bool(const QUrl&)>& Handler() {
    static std::function<bool(const QUrl&)> handler;
    return handler;
}
} // namespace

bool ShellOpenUrl(const QUrl& Url) {
    if (Handler())
        return Handler()(Url);
    return QDesktopServices::openUrl(Url);
}

void SetShellOpenHandler(std::function<bool(const QUrl&)> Value) {
    Handler() = std::move(Value);
}
