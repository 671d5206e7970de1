#include "ui/file_dialog.h"

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "ui/combo_ui.h"
#include "ui/edit_ui.h"
#include "ui/list_ui.h"

#include <algorithm>

namespace ui {
namespace {

// A folder with more entries than this is shown cut short, not read to the end.
constexpr std::size_t kMaxEntries = 5000;

const wchar_t* kFileDialogSkin = LR"(<Window size="560,400">
  <Font id="0" name="Noto Sans" size="13" default="true"/>
  <VerticalLayout name="root" bkcolor="#FF1B1F24" inset="10,8,10,10" childpadding="6" bordersize="1" bordercolor="#FF0099FF">
    <HorizontalLayout height="26" childvalign="vcenter" childpadding="6">
      <Label name="title_label" textcolor="#FFFFFFFF"/>
      <Button name="cancel_x" width="24" height="24" text="x" textcolor="#FFB0B8C0" hotbkcolor="#FFC42B1C"/>
    </HorizontalLayout>
    <HorizontalLayout height="24" childpadding="6">
      <Button name="up_btn" width="40" text=".." bkcolor="#FF2A3038" textcolor="#FFFFFFFF"/>
      <Label name="folder_label" textcolor="#FFB0B8C0" endellipsis="true"/>
    </HorizontalLayout>
    <List name="file_list" bkcolor="#FF22272E" itemtextcolor="#FFE0E0E0" itemselectedbkcolor="#FF0099FF" itemhotbkcolor="#FF2A3038"/>
    <Label name="error_label" height="20" textcolor="#FFFF6060"/>
    <HorizontalLayout height="26" childpadding="6">
      <Edit name="path_edit" maxchar="4096"/>
      <Combo name="filter_combo" width="180"/>
    </HorizontalLayout>
    <HorizontalLayout height="28" childpadding="8" childalign="right">
      <Button name="ok_btn" width="90" text="OK" bkcolor="#FF0099FF" textcolor="#FFFFFFFF"/>
      <Button name="cancel_btn" width="90" text="Cancel" bkcolor="#FF2A3038" textcolor="#FFFFFFFF"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

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

std::optional<std::filesystem::path> showFileDialog(HWND owner, const FileDialogOptions& options)
{
    CFileDialogWnd dialog(options);
    if (!dialog.Create(owner, options.title, WS_POPUP, WS_EX_TOOLWINDOW))
        return std::nullopt;
    dialog.CenterWindow();
    if (dialog.ShowModal() != IDOK)
        return std::nullopt;
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
        showError(L"Folder not found: " + platform::toWide(folder));
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
        showError(L"Type or choose a file name.");
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
    if (m_options.mode == ui::FileDialogOptions::Mode::Save && !chosen.has_extension() &&
        !m_options.defaultExtension.empty())
        chosen += platform::toPath(L"." + m_options.defaultExtension);
    if (m_options.pathMustExist && !std::filesystem::is_directory(chosen.parent_path(), error)) {
        showError(L"Folder not found: " + platform::toWide(chosen.parent_path()));
        return false;
    }
    if (m_options.fileMustExist && !std::filesystem::is_regular_file(chosen, error)) {
        showError(L"File not found: " + platform::toWide(chosen.filename()));
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
