#pragma once

#include "ui/window_impl_base.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ui {

struct FileFilter {
    std::wstring name;    // "Macro Files(*.mac)"
    std::wstring pattern; // "*.mac", several joined by ';'
};

struct FileDialogOptions {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    std::wstring title;
    std::vector<FileFilter> filters;
    // Added to a typed name that has no extension, without the dot ("mac").
    std::wstring defaultExtension;
    std::filesystem::path folder;
    std::wstring fileName;
    // Which last-used folder the dialog starts in and updates ("macro", "profile"); each
    // kind of file keeps its own, so a macro import does not move the profile export.
    std::wstring kind;
    bool fileMustExist = true;
    bool pathMustExist = true;
};

// The filter list in the system's forms: "name\0pattern\0...\0" or "name|pattern|...".
std::vector<FileFilter> parseFilterString(std::wstring_view filters);
// True when the file name matches one of the patterns ("*.mac;*.json", "*.*", "*").
bool matchesFilter(std::wstring_view fileName, std::wstring_view patterns);

// Asks the desktop's file chooser, or where none answers runs the own dialog modally over
// the owner; the chosen file, or nullopt when cancelled. Without a folder in the options it
// starts in the last folder a file of its kind was chosen in, else the user's home.
// HALVEK_FILE_CHOOSER=own skips the desktop's chooser. An empty bus address is the session bus.
std::optional<std::filesystem::path> showFileDialog(HWND owner, const FileDialogOptions& options,
                                                    const std::string& busAddress = {});
// The folder the last choice of that kind was made in; empty before the first.
std::filesystem::path lastFolder(std::wstring_view kind = {});
// Keeps the last folders in this settings file too, so the next run starts there; until
// called they last as long as the process.
void rememberFoldersIn(std::filesystem::path settingsFile);
// A name saved without extension takes the default one ("mac" makes "x.mac").
std::filesystem::path withDefaultExtension(std::filesystem::path file,
                                           const FileDialogOptions& options);

} // namespace ui

// The library's file open/save window: a folder list, a name edit and a filter choice.
class CFileDialogWnd : public WindowImplBase {
public:
    explicit CFileDialogWnd(ui::FileDialogOptions options);

    const wchar_t* GetWindowClassName() const override { return L"FileDialogWnd"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;

    const std::filesystem::path& folder() const { return m_folder; }
    void openFolder(const std::filesystem::path& folder);
    // Takes what the name edit holds: opens a folder, or accepts a file and closes.
    // False when the name cannot be accepted (the reason is shown in the window).
    bool accept();
    const std::optional<std::filesystem::path>& result() const { return m_result; }

protected:
    CDuiString GetSkinFile() override;

private:
    void fillList();
    void showError(std::wstring_view text);
    std::wstring currentPattern() const;

    ui::FileDialogOptions m_options;
    std::filesystem::path m_folder;
    std::vector<std::filesystem::path> m_entries; // list row -> path
    std::optional<std::filesystem::path> m_result;
};
