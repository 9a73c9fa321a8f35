#include "links/windows_hid_watch.h"

#include <QCoreApplication>

#include <windows.h>
#include <dbt.h>

WindowsHidWatch::WindowsHidWatch(std::function<void()> onChange) : onChange_(std::move(onChange)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowsHidWatch::~WindowsHidWatch() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowsHidWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_DEVICECHANGE && msg->wParam == DBT_DEVNODES_CHANGED) onChange_();
    return false;
}
