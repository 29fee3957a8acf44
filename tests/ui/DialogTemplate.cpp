#include "tests/ui/DialogTemplate.h"

#include <cstring>

namespace {

// Reads the template's fields in order; every read is checked against the
// resource's size, and a short read leaves `ok` false.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : m_data(data), m_size(size) {}

    bool ok() const { return m_ok; }

    template <typename T>
    T Read() {
        T value{};
        if (!m_ok || m_size - m_at < sizeof(T)) {
            m_ok = false;
            return value;
        }
        std::memcpy(&value, m_data + m_at, sizeof(T));
        m_at += sizeof(T);
        return value;
    }

    std::wstring ReadString() {
        std::wstring text;
        for (WORD unit = Read<WORD>(); m_ok && unit != 0; unit = Read<WORD>()) text += static_cast<wchar_t>(unit);
        return text;
    }

    // A name or an ordinal (0xFFFF and the number), or nothing (0).
    std::wstring ReadNameOrOrdinal(int& ordinal) {
        ordinal = -1;
        WORD first = Read<WORD>();
        if (first == 0) return std::wstring();
        if (first == 0xFFFF) {
            ordinal = Read<WORD>();
            return std::wstring();
        }
        std::wstring text(1, static_cast<wchar_t>(first));
        return text + ReadString();
    }

    void Skip(DWORD bytes) {
        if (m_size - m_at < bytes) m_ok = false;
        else m_at += bytes;
    }
    void AlignToDword() { Skip((4 - m_at % 4) % 4); }

private:
    const BYTE* m_data;
    DWORD m_size;
    DWORD m_at = 0;
    bool m_ok = true;
};

std::wstring PredefinedClass(int ordinal) {
    switch (ordinal) {
    case 0x80: return L"Button";
    case 0x81: return L"Edit";
    case 0x82: return L"Static";
    case 0x83: return L"ListBox";
    case 0x84: return L"ScrollBar";
    case 0x85: return L"ComboBox";
    default: return L"#" + std::to_wstring(ordinal);
    }
}

}  // namespace

bool ReadDialogTemplate(HMODULE module, UINT id, LANGID language, DialogTemplate& result, std::string& error) {
    HRSRC resource = ::FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(id), language);
    if (resource == nullptr) {
        error = "no template " + std::to_string(id) + " in language " + std::to_string(language);
        return false;
    }
    HGLOBAL loaded = ::LoadResource(module, resource);
    const BYTE* data = static_cast<const BYTE*>(::LockResource(loaded));
    DWORD size = ::SizeofResource(module, resource);
    if (data == nullptr) {
        error = "template " + std::to_string(id) + " cannot be loaded";
        return false;
    }
    TemplateReader in(data, size);
    WORD version = in.Read<WORD>();
    WORD signature = in.Read<WORD>();
    if (version != 1 || signature != 0xFFFF) {
        error = "template " + std::to_string(id) + " is not a DLGTEMPLATEEX";
        return false;
    }
    in.Read<DWORD>();  // help id
    result.exStyle = in.Read<DWORD>();
    result.style = in.Read<DWORD>();
    WORD count = in.Read<WORD>();
    in.Read<short>();
    in.Read<short>();
    result.cx = in.Read<short>();
    result.cy = in.Read<short>();
    int ordinal = -1;
    in.ReadNameOrOrdinal(ordinal);  // menu
    in.ReadNameOrOrdinal(ordinal);  // window class
    result.caption = in.ReadString();
    if (result.style & (DS_SETFONT | DS_SHELLFONT)) {
        result.pointSize = in.Read<WORD>();
        result.weight = in.Read<WORD>();
        in.Read<BYTE>();  // italic
        in.Read<BYTE>();  // character set
        result.face = in.ReadString();
    }
    result.items.clear();
    for (WORD i = 0; i < count && in.ok(); ++i) {
        in.AlignToDword();
        DialogTemplateItem item;
        in.Read<DWORD>();  // help id
        item.exStyle = in.Read<DWORD>();
        item.style = in.Read<DWORD>();
        item.x = in.Read<short>();
        item.y = in.Read<short>();
        item.cx = in.Read<short>();
        item.cy = in.Read<short>();
        DWORD itemId = in.Read<DWORD>();
        item.id = (itemId == 0xFFFF || itemId == 0xFFFFFFFF) ? -1 : static_cast<int>(itemId);
        item.className = in.ReadNameOrOrdinal(ordinal);
        if (ordinal >= 0) item.className = PredefinedClass(ordinal);
        item.text = in.ReadNameOrOrdinal(item.textOrdinal);
        in.Skip(in.Read<WORD>());  // creation data
        result.items.push_back(item);
    }
    if (!in.ok()) {
        error = "template " + std::to_string(id) + " ends inside its fields";
        return false;
    }
    return true;
}
