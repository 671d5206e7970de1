#include "platform/device_monitor.h"

#include "platform/debug_output.h"
#include "platform/event.h"
#include "platform/windows/win_error.h"

#include <atomic>
#include <thread>
#include <windows.h>
// dbt.h needs the types of windows.h first.
#include <dbt.h>

namespace platform {
namespace {

// The HID device interface class, as hid.dll's HidD_GetHidGuid gives it; spelled out here so
// the platform layer needs no HID library.
constexpr GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

} // namespace

// Device-interface notices arrive as window messages: a message-only window of the
// monitor's own thread takes them, and the thread sleeps in GetMessage between them.
struct DeviceMonitor::Impl {
    std::function<void()> onChange;
    std::thread thread;
    std::atomic<DWORD> threadId{0};
    std::atomic<bool> active{false};
    Event ready{Event::ResetPolicy::Manual};

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_DEVICECHANGE &&
            (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
            auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self && self->onChange)
                self->onChange();
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void run()
    {
        threadId = GetCurrentThreadId();
        static const wchar_t* kClassName = L"HalvekDeviceMonitor";
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassExW(&windowClass); // fails harmlessly when a monitor registered it
        HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, nullptr);
        HDEVNOTIFY notify = nullptr;
        if (window != nullptr) {
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            DEV_BROADCAST_DEVICEINTERFACE_W filter{};
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = kHidInterfaceClass;
            notify = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        }
        if (notify == nullptr)
            debugOutput(windows::errorText("device monitor: no device notifications"));
        active = notify != nullptr;
        ready.set();
        MSG message;
        while (notify != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        if (notify != nullptr)
            UnregisterDeviceNotification(notify);
        if (window != nullptr)
            DestroyWindow(window);
    }
};

DeviceMonitor::DeviceMonitor(const std::string& subsystem, std::function<void()> onChange)
    : m_impl(std::make_unique<Impl>())
{
    // HID is the only subsystem the program watches; its interface class stands for it.
    if (subsystem != "hidraw" && subsystem != "hid") {
        debugOutput("device monitor: no device class for " + subsystem);
        return;
    }
    m_impl->onChange = std::move(onChange);
    Impl* impl = m_impl.get();
    m_impl->thread = std::thread([impl] { impl->run(); });
    m_impl->ready.wait();
}

// Device notices need no daemon on Windows: neither its sign nor a node folder is looked at.
DeviceMonitor::DeviceMonitor(const std::string& subsystem, std::function<void()> onChange,
                             const std::filesystem::path&, const std::filesystem::path&)
    : DeviceMonitor(subsystem, std::move(onChange))
{
}

DeviceMonitor::~DeviceMonitor()
{
    if (!m_impl->thread.joinable())
        return;
    PostThreadMessageW(m_impl->threadId, WM_QUIT, 0, 0);
    m_impl->thread.join();
}

bool DeviceMonitor::isActive() const
{
    return m_impl->active;
}

} // namespace platform
