#include "ui/file_dialog.h"

#include "platform/debug_output.h"
#include "platform/desktop_file_chooser.h"
#include "platform/folders.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "ui/combo_ui.h"
#include "ui/edit_ui.h"
#include "ui/list_ui.h"
#include "ui/resource_manager.h"
#include "ui/window_wnd.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

namespace ui {
namespace {

// A folder with more entries than this is shown cut short, not read to the end.
constexpr std::size_t kMaxEntries = 5000;

const wchar_t* kFileDialogSkin = LR"(<Window size="560,400">
  <Font id="0" name="Noto Sans" size="13" default="true"/>
  <Font id="1" name="Noto Sans" size="15" bold="true"/>
  <VerticalLayout name="root" bkcolor="#FF12161C" bordersize="1" bordercolor="#FF2A323C">
    <Control height="3" bkcolor="#FF1EA7FF"/>
    <HorizontalLayout height="40" inset="16,0,8,0" childvalign="vcenter" bkcolor="#FF0B0E12">
      <Label name="title_label" font="1" textcolor="#FFE6EDF3"/>
      <Button name="cancel_x" width="36" height="30" hotbkcolor="#FFC42B1C" normalimage="file='common/icons/close.svg' dest='10,7,26,23'" hotimage="file='common/icons/close_hot.svg' dest='10,7,26,23'"/>
    </HorizontalLayout>
    <VerticalLayout inset="16,10,16,14" childpadding="8">
      <HorizontalLayout height="28" childpadding="8" childvalign="vcenter">
        <Button name="up_btn" width="40" height="28" text=".." tooltip="file_up_tip_text" resourcetext="true" textcolor="#FFE6EDF3" bkcolor="#FF1E252E" hotbkcolor="#FF2A323C"/>
        <Label name="folder_label" textcolor="#FF8B949E" endellipsis="true"/>
      </HorizontalLayout>
      <List name="file_list" bkcolor="#FF0E1116" bordersize="1" bordercolor="#FF2A323C" itemtextcolor="#FFC9D1D9" itemselectedtextcolor="#FFE6EDF3" itemselectedbkcolor="#FF1E3A52" itemhotbkcolor="#FF161B22"/>
      <Label name="error_label" height="20" textcolor="#FFFF6B6B"/>
      <HorizontalLayout height="30" childpadding="8">
        <Edit name="path_edit" maxchar="4096" textcolor="#FFE6EDF3" bkcolor="#FF0E1116" focusbkcolor="#FF161B22" bordersize="1" bordercolor="#FF2A323C" textpadding="8,0,8,0"/>
        <Combo name="filter_combo" width="190" textpadding="8,0,8,0" bkcolor="#FF0E1116" bordersize="1" bordercolor="#FF2A323C" textcolor="#FFE6EDF3" itemtextcolor="#FFC9D1D9" itembkcolor="#FF161B22" itemhotbkcolor="#FF1E252E" itemselectedbkcolor="#FF1E252E" itemselectedtextcolor="#FF1EA7FF"/>
      </HorizontalLayout>
      <HorizontalLayout height="32" childpadding="10">
        <Control/>
        <Button name="ok_btn" width="104" height="32" font="1" textcolor="#FF0B0E12" hottextcolor="#FF0B0E12" normalimage="common/btn_accent.svg" hotimage="common/btn_accent_hot.svg"/>
        <Button name="cancel_btn" width="104" height="32" font="1" text="cancel_text" resourcetext="true" textcolor="#FFE6EDF3" hottextcolor="#FFFFFFFF" normalimage="common/btn_plain.svg" hotimage="common/btn_plain_hot.svg"/>
      </HorizontalLayout>
    </VerticalLayout>
  </VerticalLayout>
</Window>)";

std::wstring languageText(std::wstring_view id)
{
    return std::wstring(CResourceManager::GetInstance()->GetText(id));
}

bool matchesOne(std::wstring_view name, std::wstring_view pattern)
{
    if (pattern == L"*" || pattern == L"*.*")
        return true;
    if (pattern.size() > 1 && pattern[0] == L'*') {
        const auto suffix = pattern.substr(1);
        return name.size() >= suffix.size() &&
               platform::equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
    }
    return platform::equalsIgnoreCase(name, pattern);
}

} // namespace

std::vector<FileFilter> parseFilterString(std::wstring_view filters)
{
    const wchar_t separator = filters.find(L'|') != std::wstring_view::npos ? L'|' : L'\0';
    std::vector<std::wstring> parts;
    std::size_t at = 0;
    while (at < filters.size()) {
        const auto end = filters.find(separator, at);
        const auto part = filters.substr(at, end == std::wstring_view::npos ? end : end - at);
        if (part.empty())
            break;
        parts.emplace_back(part);
        if (end == std::wstring_view::npos)
            break;
        at = end + 1;
    }
    std::vector<FileFilter> result;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        result.push_back(FileFilter{parts[i], parts[i + 1]});
    return result;
}

bool matchesFilter(std::wstring_view fileName, std::wstring_view patterns)
{
    std::size_t at = 0;
    while (at <= patterns.size()) {
        const auto end = patterns.find(L';', at);
        std::wstring_view pattern = patterns.substr(
            at, end == std::wstring_view::npos ? std::wstring_view::npos : end - at);
        while (!pattern.empty() && pattern.front() == L' ')
            pattern.remove_prefix(1);
        if (!pattern.empty() && matchesOne(fileName, pattern))
            return true;
        if (end == std::wstring_view::npos)
            break;
        at = end + 1;
    }
    return false;
}

namespace {

struct FolderMemory {
    std::mutex lock;
    std::map<std::wstring, std::filesystem::path, std::less<>> folders;
    std::filesystem::path settingsFile;
};

FolderMemory& folderMemory()
{
    static FolderMemory memory;
    return memory;
}

std::wstring settingName(std::wstring_view kind)
{
    return L"LastFolder" + std::wstring(kind);
}

} // namespace

std::filesystem::path lastFolder(std::wstring_view kind)
{
    FolderMemory& memory = folderMemory();
    std::lock_guard guard(memory.lock);
    if (const auto found = memory.folders.find(kind); found != memory.folders.end())
        return found->second;
    if (memory.settingsFile.empty())
        return {};
    return platform::SettingsStore(memory.settingsFile)
        .path(settingName(kind))
        .value_or(std::filesystem::path());
}

void rememberFoldersIn(std::filesystem::path settingsFile)
{
    FolderMemory& memory = folderMemory();
    std::lock_guard guard(memory.lock);
    memory.settingsFile = std::move(settingsFile);
    memory.folders.clear();
}

namespace {

void rememberFolder(const FileDialogOptions& options, const std::filesystem::path& file)
{
    FolderMemory& memory = folderMemory();
    std::lock_guard guard(memory.lock);
    const std::filesystem::path folder = file.parent_path();
    memory.folders[options.kind] = folder;
    if (memory.settingsFile.empty())
        return;
    // Losing the folder only costs the user a few clicks next time: said, not shown.
    if (const auto stored =
            platform::SettingsStore(memory.settingsFile).setPath(settingName(options.kind), folder);
        !stored)
        platform::debugOutput("file dialog: the last folder is not kept: " +
                              stored.error().message);
}

std::filesystem::path startFolder(const FileDialogOptions& options)
{
    if (!options.folder.empty())
        return options.folder;
    std::error_code error;
    if (const auto last = lastFolder(options.kind);
        !last.empty() && last.is_absolute() && std::filesystem::is_directory(last, error))
        return last;
    return platform::homeFolder();
}

} // namespace

std::filesystem::path withDefaultExtension(std::filesystem::path file,
                                           const FileDialogOptions& options)
{
    if (options.mode == FileDialogOptions::Mode::Save && !file.has_extension() &&
        !options.defaultExtension.empty() &&
        options.defaultExtension.find(L'*') == std::wstring::npos)
        file += platform::toPath(L"." + options.defaultExtension);
    return file;
}

namespace {

bool desktopChooserWanted()
{
    // Sessions and tests that must not reach the user's desktop ask for the own dialog.
    const char* choice = std::getenv("HALVEK_FILE_CHOOSER");
    return !choice || std::string_view(choice) != "own";
}

platform::FileChoiceRequest desktopRequest(HWND owner, const FileDialogOptions& options)
{
    platform::FileChoiceRequest request;
    request.mode = options.mode == FileDialogOptions::Mode::Save
                       ? platform::FileChoiceRequest::Mode::Save
                       : platform::FileChoiceRequest::Mode::Open;
    request.title = options.title;
    for (const auto& filter : options.filters) {
        platform::FileChoiceRequest::Filter wanted{filter.name, {}};
        std::wstring_view patterns = filter.pattern;
        while (!patterns.empty()) {
            const auto end = patterns.find(L';');
            std::wstring_view one = patterns.substr(0, end);
            while (!one.empty() && one.front() == L' ')
                one.remove_prefix(1);
            if (!one.empty())
                wanted.patterns.emplace_back(one);
            patterns =
                end == std::wstring_view::npos ? std::wstring_view() : patterns.substr(end + 1);
        }
        if (!wanted.patterns.empty())
            request.filters.push_back(std::move(wanted));
    }
    request.folder = options.folder;
    request.fileName = options.fileName;
    if (const CWindowWnd* window = windowFromHandle(owner); window && window->GetNativeWindow())
        request.parentWindow = window->GetNativeWindow()->desktopHandle();
    return request;
}

// The desktop's chooser, with the owner's messages handled while it is open.
platform::FileChoice askDesktop(HWND owner, const FileDialogOptions& options,
                                const std::string& busAddress)
{
    platform::DesktopFileChooser chooser(busAddress);
    auto& queue = platform::MessageQueue::current();
    const HWND wake = queue.createWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    // The answer comes on the chooser's thread: a message wakes this loop to look.
    const bool started = chooser.start(desktopRequest(owner, options),
                                       [wake] { platform::postMessage(wake, WM_NULL, 0, 0); });
    platform::FileChoice choice = chooser.result();
    if (started) {
        const bool done = queue.runUntil([&] { return chooser.isFinished(); },
                                         std::chrono::steady_clock::time_point::max());
        choice = done ? chooser.result()
                      : platform::FileChoice{platform::FileChoiceOutcome::Cancelled, {}, {}};
    }
    queue.destroyWindow(wake);
    return choice;
}

} // namespace

std::optional<std::filesystem::path> showFileDialog(HWND owner, const FileDialogOptions& given,
                                                    const std::string& busAddress)
{
    FileDialogOptions options = given;
    options.folder = startFolder(given);
    if (desktopChooserWanted()) {
        const platform::FileChoice choice = askDesktop(owner, options, busAddress);
        if (choice.outcome == platform::FileChoiceOutcome::Cancelled)
            return std::nullopt;
        if (choice.outcome == platform::FileChoiceOutcome::Chosen) {
            auto file = withDefaultExtension(choice.file, options);
            rememberFolder(options, file);
            return file;
        }
    }
    CFileDialogWnd dialog(options);
    if (!dialog.Create(owner, options.title, WS_POPUP, WS_EX_TOOLWINDOW))
        return std::nullopt;
    // At the owner's scale, so it is not drawn small beside a 200 % window.
    if (auto* base = dynamic_cast<WindowImplBase*>(windowFromHandle(owner))) {
        const int dpi = base->GetPaintManager().GetDPI();
        if (isAllowedDpi(dpi) && dpi != dialog.GetPaintManager().GetDPI())
            dialog.GetPaintManager().SetDPI(dpi);
    }
    dialog.CenterWindow();
    if (dialog.ShowModal() != IDOK || !dialog.result())
        return std::nullopt;
    rememberFolder(options, *dialog.result());
    return dialog.result();
}

} // namespace ui

CFileDialogWnd::CFileDialogWnd(ui::FileDialogOptions options) : m_options(std::move(options)) {}

CDuiString CFileDialogWnd::GetSkinFile()
{
    return ui::kFileDialogSkin;
}

void CFileDialogWnd::InitWindow()
{
    if (CControlUI* title = m_pm.FindControl(L"title_label"))
        title->SetText(m_options.title);
    SetWindowText(m_options.title);
    if (CControlUI* ok = m_pm.FindControl(L"ok_btn"))
        ok->SetText(ui::languageText(m_options.mode == ui::FileDialogOptions::Mode::Save
                                         ? L"file_save_text"
                                         : L"file_open_text"));
    if (auto* combo = dynamic_cast<CComboUI*>(m_pm.FindControl(L"filter_combo"))) {
        for (const auto& filter : m_options.filters) {
            auto* row = new CListLabelElementUI;
            row->SetText(filter.name);
            row->SetFixedHeight(24);
            combo->Add(row);
        }
        combo->SelectItem(0, false, false);
    }
    if (CControlUI* edit = m_pm.FindControl(L"path_edit"))
        edit->SetText(m_options.fileName);
    std::error_code error;
    openFolder(m_options.folder.empty() ? std::filesystem::current_path(error) : m_options.folder);
}

std::wstring CFileDialogWnd::currentPattern() const
{
    const auto* combo = dynamic_cast<CComboUI*>(m_pm.FindControl(L"filter_combo"));
    const int index = combo ? combo->GetCurSel() : -1;
    if (index < 0 || index >= static_cast<int>(m_options.filters.size()))
        return L"*";
    return m_options.filters[static_cast<std::size_t>(index)].pattern;
}

void CFileDialogWnd::openFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        showError(ui::languageText(L"file_folder_missing_text") + platform::toWide(folder));
        return;
    }
    m_folder = std::filesystem::absolute(folder, error).lexically_normal();
    if (CControlUI* label = m_pm.FindControl(L"folder_label"))
        label->SetText(platform::toWide(m_folder));
    showError(L"");
    fillList();
}

void CFileDialogWnd::fillList()
{
    auto* list = dynamic_cast<CListUI*>(m_pm.FindControl(L"file_list"));
    if (!list)
        return;
    list->RemoveAll();
    m_entries.clear();
    std::vector<std::filesystem::path> folders;
    std::vector<std::filesystem::path> files;
    std::error_code error;
    const std::wstring pattern = currentPattern();
    for (auto it = std::filesystem::directory_iterator(
             m_folder, std::filesystem::directory_options::skip_permission_denied, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (folders.size() + files.size() >= ui::kMaxEntries)
            break;
        const std::wstring name = platform::toWide(it->path().filename());
        if (name.empty() || name.front() == L'.')
            continue;
        std::error_code typeError;
        if (it->is_directory(typeError))
            folders.push_back(it->path());
        else if (ui::matchesFilter(name, pattern))
            files.push_back(it->path());
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    for (const auto* group : {&folders, &files}) {
        for (const auto& path : *group) {
            auto* row = new CListLabelElementUI;
            const std::wstring name = platform::toWide(path.filename());
            row->SetText(group == &folders ? L"[" + name + L"]" : name);
            row->SetFixedHeight(24);
            list->Add(row);
            m_entries.push_back(path);
        }
    }
}

void CFileDialogWnd::showError(std::wstring_view text)
{
    if (CControlUI* label = m_pm.FindControl(L"error_label"))
        label->SetText(text);
}

bool CFileDialogWnd::accept()
{
    const CControlUI* edit = m_pm.FindControl(L"path_edit");
    const std::wstring typed = edit ? std::wstring(edit->GetText()) : std::wstring();
    if (typed.empty()) {
        showError(ui::languageText(L"file_name_needed_text"));
        return false;
    }
    std::filesystem::path chosen = platform::relativeName(typed);
    if (!typed.empty() && (typed.front() == L'/' || typed.front() == L'\\'))
        chosen = std::filesystem::path("/") / chosen;
    else
        chosen = m_folder / chosen;
    chosen = chosen.lexically_normal();
    std::error_code error;
    if (std::filesystem::is_directory(chosen, error)) {
        openFolder(chosen);
        if (auto* editable = m_pm.FindControl(L"path_edit"))
            editable->SetText(L"");
        return false;
    }
    chosen = ui::withDefaultExtension(chosen, m_options);
    if (m_options.pathMustExist && !std::filesystem::is_directory(chosen.parent_path(), error)) {
        showError(ui::languageText(L"file_folder_missing_text") +
                  platform::toWide(chosen.parent_path()));
        return false;
    }
    if (m_options.fileMustExist && !std::filesystem::is_regular_file(chosen, error)) {
        showError(ui::languageText(L"file_missing_text") + platform::toWide(chosen.filename()));
        return false;
    }
    m_result = chosen;
    Close(IDOK);
    return true;
}

void CFileDialogWnd::Notify(TNotifyUI& msg)
{
    const CDuiString name = msg.pSender ? msg.pSender->GetName() : CDuiString();
    if (msg.sType == L"click") {
        if (name == L"ok_btn") {
            accept();
        } else if (name == L"cancel_btn" || name == L"cancel_x") {
            Close(IDCANCEL);
        } else if (name == L"up_btn") {
            openFolder(m_folder.parent_path());
        }
        return;
    }
    if (msg.sType == L"itemselect" && name == L"filter_combo") {
        fillList();
        return;
    }
    if (msg.sType == L"itemselect" && name == L"file_list") {
        const auto index = static_cast<std::size_t>(msg.wParam);
        std::error_code error;
        if (index < m_entries.size() && !std::filesystem::is_directory(m_entries[index], error)) {
            if (CControlUI* edit = m_pm.FindControl(L"path_edit"))
                edit->SetText(platform::toWide(m_entries[index].filename()));
        }
        return;
    }
    if (msg.sType == L"itemactivate") {
        const auto* list = dynamic_cast<CListUI*>(m_pm.FindControl(L"file_list"));
        const int index = list ? list->GetCurSel() : -1;
        if (index >= 0 && static_cast<std::size_t>(index) < m_entries.size()) {
            const auto path = m_entries[static_cast<std::size_t>(index)];
            std::error_code error;
            if (std::filesystem::is_directory(path, error)) {
                openFolder(path);
            } else if (CControlUI* edit = m_pm.FindControl(L"path_edit")) {
                edit->SetText(platform::toWide(path.filename()));
                accept();
            }
        }
        return;
    }
    if (msg.sType == L"return" && name == L"path_edit") {
        accept();
        return;
    }
    WindowImplBase::Notify(msg);
}
