#pragma once
// A dialog template (DLGTEMPLATEEX) read from a module's resources, as the
// system reads it to create the dialog.
#include <windows.h>

#include <string>
#include <vector>

struct DialogTemplateItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;              // -1 for IDC_STATIC
    std::wstring className;  // a predefined class by its name ("Button", "Static", ...)
    std::wstring text;       // empty when the title is an ordinal
    int textOrdinal = -1;    // the resource id of an icon title, or -1
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    WORD weight = 0;
    std::wstring face;
    std::vector<DialogTemplateItem> items;
};

// The template of the id in exactly that language; false (and `error` says
// why) when there is none or it is not a well-formed DLGTEMPLATEEX.
bool ReadDialogTemplate(HMODULE module, UINT id, LANGID language, DialogTemplate& result, std::string& error);
