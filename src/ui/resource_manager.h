#pragma once

#include "ui/ui_types.h"

#include <map>
#include <mutex>
#include <string>

// Answers text ids the language file does not know (or re-answers on ReloadText).
class IQueryControlText {
public:
    virtual ~IQueryControlText() = default;
    // Null when it has no answer.
    virtual const wchar_t* QueryControlText(const wchar_t* id, const wchar_t* type) = 0;
};

// The skin index and the language texts. The index ("res.xml") maps resource names such
// as "XML_MAIN" to skin files; a language file maps text ids to words. Thread-safe.
class CResourceManager {
public:
    static CResourceManager* GetInstance();
    // Forgets everything; the instance stays usable.
    void Release();

    // The index as a file name below the resource path, or as XML text. False when it
    // cannot be read or parsed; what was loaded before stays.
    bool LoadResource(std::wstring_view xml, const wchar_t* type = nullptr);
    // The file a resource name stands for, or empty.
    CDuiString GetXmlPath(std::wstring_view name) const;
    CDuiString GetImagePath(std::wstring_view name) const;

    void SetLanguage(std::wstring_view name);
    CDuiString GetLanguage() const;
    // Replaces the texts with those of the file (below the resource path, or absolute).
    // False, with the old texts kept, when the file is missing or malformed.
    bool LoadLanguage(std::wstring_view file);
    // Loads texts from XML text (tests, embedded defaults).
    bool LoadLanguageText(std::string_view xml);
    // Asks the text-query interface again for every known id.
    void ReloadText();
    void SetTextQueryInterface(IQueryControlText* query);
    // The text of an id; an unknown id answers itself.
    CDuiString GetText(std::wstring_view id, const wchar_t* type = nullptr);
    bool HasText(std::wstring_view id) const;

private:
    CResourceManager() = default;

    mutable std::mutex m_lock;
    std::map<std::wstring, std::wstring> m_xmlFiles;
    std::map<std::wstring, std::wstring> m_imageFiles;
    std::map<std::wstring, std::wstring> m_texts;
    std::wstring m_language;
    IQueryControlText* m_query = nullptr;
};
