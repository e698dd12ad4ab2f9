// The XML view on the system's XmlLite reader. The reader only streams, so a load builds a
// small tree of what the view offers: element names, attributes and each element's text.
#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <deque>
#include <vector>

#include "platform/Files.h"
#include "platform/XmlDocument.h"

namespace nb::platform {
namespace {

// IXmlReader's interface id (MinGW's uuid library lacks it).
const IID kIidXmlReader = {0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};

// Nesting deeper than this is refused, as the Linux parser refuses it.
constexpr LONG_PTR kMaxDepth = 500;

struct AttributeNode {
    std::string name;
    std::string value;
    const AttributeNode* next = nullptr;
};

struct ElementNode {
    std::string name;
    const AttributeNode* firstAttribute = nullptr;
    bool hasText = false;
    std::string text;
    const ElementNode* firstChild = nullptr;
    const ElementNode* nextSibling = nullptr;
};

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (m_p) m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** Out() { return &m_p; }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

// How the reader's UTF-16 goes back to bytes. A document of bytes (UTF-8, GBK, any code page)
// is given to the reader as one character per byte, so each character below 256 is the byte the
// document held, and the texts come back exactly as written, whatever the encoding: what the
// Linux parser gives, and what the launcher's GBK strings need. The reader knows few encodings
// (Wine's only UTF-8 and UTF-16), so it is never asked to decode one. Characters above 255 can
// only come from character references, which become UTF-8 as on Linux. A UTF-16 document is
// decoded by the reader and its texts become UTF-8.
thread_local bool t_bytesAsRead = false;

void AppendCodePoint(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf8(std::string& out, const wchar_t* text, UINT length) {
    if (length == 0) return;
    if (t_bytesAsRead) {
        for (UINT i = 0; i < length; ++i) {
            uint32_t c = static_cast<uint16_t>(text[i]);
            if (c < 0x100) {
                out.push_back(static_cast<char>(c));
                continue;
            }
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
            AppendCodePoint(out, c);
        }
        return;
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data() + at, size, nullptr, nullptr);
}

std::string ToUtf8(const wchar_t* text, UINT length) {
    std::string out;
    AppendUtf8(out, text, length);
    return out;
}

// The document's bytes re-encoded so that the reader sees one character per byte (see above):
// bytes up to 0x7F stay, the others become the UTF-8 of U+0080..U+00FF. UTF-8 is the one
// encoding the reader handles well at any size (Wine's reader loses its way in long UTF-16
// input). The declaration's encoding name is blanked out: it no longer describes the input.
std::string OneCharacterPerByte(std::string_view bytes) {
    std::string declaration;
    if (bytes.starts_with("<?xml")) {
        const size_t end = bytes.find("?>");
        if (end != std::string_view::npos) {
            declaration.assign(bytes.substr(0, end));
            const size_t name = declaration.find("encoding", 5);
            if (name != std::string::npos) {
                size_t stop = name + 8;
                while (stop < declaration.size() && declaration[stop] != '"' && declaration[stop] != '\'') ++stop;
                if (stop < declaration.size()) stop = declaration.find(declaration[stop], stop + 1);  // the closing quote
                if (stop != std::string::npos) declaration.replace(name, stop + 1 - name, stop + 1 - name, ' ');
            }
            bytes.remove_prefix(end);
        }
    }
    std::string out = std::move(declaration);
    out.reserve(out.size() + bytes.size() + bytes.size() / 4 + 1);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool AllBlank(std::string_view s) {
    for (char c : s)
        if (!IsBlank(c)) return false;
    return true;
}

std::string CollapseWhiteSpace(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    bool blankPending = false;
    for (char c : s) {
        if (IsBlank(c)) {
            blankPending = !out.empty();
            continue;
        }
        if (blankPending) out.push_back(' ');
        blankPending = false;
        out.push_back(c);
    }
    return out;
}

// An element being read. Its text is its first child node when that node is text; white
// space alone before the first child is no node of its own (the Linux parser drops it).
struct OpenElement {
    ElementNode* node = nullptr;
    ElementNode* lastChild = nullptr;
    AttributeNode* lastAttribute = nullptr;
    enum class Text { Looking, Collecting, Done } state = Text::Looking;
    std::string run;

    void AddText(const wchar_t* value, UINT length) {
        if (state == Text::Done) return;
        state = Text::Collecting;
        AppendUtf8(run, value, length);
    }
    // Any child node that is not text (an element, a comment, ...) ends the first text run;
    // a run of white space only was no node, so the first child is this one: no text.
    void OtherNode() {
        if (state == Text::Collecting && !AllBlank(run)) {
            node->hasText = true;
            node->text = CollapseWhiteSpace(run);
        }
        state = Text::Done;
        run.clear();
    }
    void CData(std::string value) {
        if (state == Text::Collecting && AllBlank(run)) state = Text::Looking;
        if (state == Text::Looking) {
            node->hasText = true;
            node->text = std::move(value);  // kept as written
            state = Text::Done;
            run.clear();
        } else {
            OtherNode();
        }
    }
};

// Whether every markup construct that the reader would read to its end has one, and every
// reference names something: Wine's reader runs forever on an unterminated comment or CDATA
// section, stops the program on a document cut off in its declaration, and passes undefined
// entity references through as text. Only for byte-oriented encodings (UTF-8, ASCII, the
// code pages); a UTF-16 document is left to the reader alone.
bool StructureIsComplete(std::string_view s) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    auto isHex = [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    size_t i = 0;
    while ((i = s.find_first_of("<&", i)) != std::string_view::npos) {
        const std::string_view rest = s.substr(i);
        if (rest[0] == '&') {
            const size_t semicolon = rest.find(';');
            if (semicolon == std::string_view::npos) return false;
            const std::string_view name = rest.substr(1, semicolon - 1);
            bool known = name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
            if (!known && name.size() >= 2 && name[0] == '#') {
                const bool hex = name[1] == 'x';
                const std::string_view digits = name.substr(hex ? 2 : 1);
                known = !digits.empty();
                for (char c : digits) known = known && (hex ? isHex(c) : isDigit(c));
            }
            if (!known) return false;
            i += semicolon + 1;
            continue;
        }
        std::string_view close;
        size_t open = 0;
        if (rest.starts_with("<!--")) {
            close = "-->", open = 4;
        } else if (rest.starts_with("<![CDATA[")) {
            close = "]]>", open = 9;
        } else if (rest.starts_with("<?")) {
            close = "?>", open = 2;
        } else {
            ++i;
            continue;
        }
        const size_t end = rest.find(close, open);
        if (end == std::string_view::npos) return false;
        i += end + close.size();
    }
    return true;
}

bool IsUtf16(std::string_view s) {
    return s.size() >= 2 && (s[0] == '\0' || s[1] == '\0' || (s.starts_with("\xFF\xFE")) || s.starts_with("\xFE\xFF"));
}

}  // namespace

struct XmlAccess {
    static XmlElement Wrap(const ElementNode* e) { return XmlElement(e); }
    static XmlAttribute Wrap(const AttributeNode* a) { return XmlAttribute(a); }
    static const ElementNode* Get(const XmlElement& e) { return static_cast<const ElementNode*>(e.m_node); }
    static const AttributeNode* Get(const XmlAttribute& a) { return static_cast<const AttributeNode*>(a.m_node); }
};

const char* XmlAttribute::Name() const { return XmlAccess::Get(*this)->name.c_str(); }

const char* XmlAttribute::Value() const { return XmlAccess::Get(*this)->value.c_str(); }

XmlAttribute XmlAttribute::Next() const { return XmlAccess::Wrap(XmlAccess::Get(*this)->next); }

const char* XmlElement::Name() const { return m_node ? XmlAccess::Get(*this)->name.c_str() : ""; }

namespace {

const ElementNode* FromHere(const ElementNode* e, const char* name) {
    while (e && name && e->name != name) e = e->nextSibling;
    return e;
}

}  // namespace

XmlElement XmlElement::FirstChildElement(const char* name) const {
    if (!m_node) return {};
    return XmlAccess::Wrap(FromHere(XmlAccess::Get(*this)->firstChild, name));
}

XmlElement XmlElement::NextSiblingElement(const char* name) const {
    if (!m_node) return {};
    return XmlAccess::Wrap(FromHere(XmlAccess::Get(*this)->nextSibling, name));
}

const char* XmlElement::Attribute(const char* name) const {
    if (!m_node || !name) return nullptr;
    for (const AttributeNode* a = XmlAccess::Get(*this)->firstAttribute; a; a = a->next)
        if (a->name == name) return a->value.c_str();
    return nullptr;
}

XmlAttribute XmlElement::FirstAttribute() const {
    if (!m_node) return {};
    return XmlAccess::Wrap(XmlAccess::Get(*this)->firstAttribute);
}

const char* XmlElement::Text() const {
    if (!m_node) return nullptr;
    const ElementNode* e = XmlAccess::Get(*this);
    return e->hasText ? e->text.c_str() : nullptr;
}

struct XmlDocument::Impl {
    // Deques: nodes keep their places while the tree grows, so the links stay good.
    std::deque<ElementNode> elements;
    std::deque<AttributeNode> attributes;
    const ElementNode* root = nullptr;

    void Clear() {
        elements.clear();
        attributes.clear();
        root = nullptr;
    }
    bool Parse(std::string_view bytes);
};

bool XmlDocument::Impl::Parse(std::string_view bytes) {
    Clear();
    if (bytes.empty() || bytes.size() >= 0x7FFFFFFF) return false;
    std::string input;
    t_bytesAsRead = !IsUtf16(bytes);
    if (t_bytesAsRead) {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);  // UTF-8's byte order mark
        if (!StructureIsComplete(bytes)) return false;
        input = OneCharacterPerByte(bytes);
        // White space after the last markup is always allowed, and it keeps the reader from
        // meeting the end of the input right after a declaration.
        input.push_back('\n');
        bytes = input;
    }
    if (bytes.size() >= 0x7FFFFFFF) return false;
    ComPtr<IStream> stream;
    *stream.Out() = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    ComPtr<IXmlReader> reader;
    if (!stream.Get() || FAILED(::CreateXmlReader(kIidXmlReader, reinterpret_cast<void**>(reader.Out()), nullptr)))
        return false;
    // No document type declarations: the entities one may define can make a small document
    // expand without end, and the launcher's documents never have one.
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxDepth);
    if (FAILED(reader->SetInput(stream.Get()))) return false;

    std::vector<OpenElement> open;
    ElementNode* lastTop = nullptr;
    bool sawMarkup = false;
    HRESULT hr = S_OK;
    XmlNodeType type = XmlNodeType_None;
    const wchar_t* text = nullptr;
    UINT length = 0;
    while (SUCCEEDED(hr) && (hr = reader->Read(&type)) == S_OK) {
        if (type != XmlNodeType_Text && type != XmlNodeType_Whitespace) sawMarkup = true;
        switch (type) {
            case XmlNodeType_Element: {
                if (!open.empty()) open.back().OtherNode();
                ElementNode& node = elements.emplace_back();
                reader->GetQualifiedName(&text, &length);
                node.name = ToUtf8(text, length);
                AttributeNode* last = nullptr;
                for (HRESULT a = reader->MoveToFirstAttribute(); a == S_OK; a = reader->MoveToNextAttribute()) {
                    AttributeNode& attribute = attributes.emplace_back();
                    reader->GetQualifiedName(&text, &length);
                    attribute.name = ToUtf8(text, length);
                    reader->GetValue(&text, &length);
                    attribute.value = ToUtf8(text, length);
                    // A repeated attribute makes the document ill-formed; not every reader
                    // says so.
                    for (const AttributeNode* seen = node.firstAttribute; seen; seen = seen->next)
                        if (seen->name == attribute.name) hr = E_UNEXPECTED;
                    if (last) {
                        last->next = &attribute;
                    } else {
                        node.firstAttribute = &attribute;
                    }
                    last = &attribute;
                }
                reader->MoveToElement();
                if (open.empty()) {
                    if (!root) root = &node;
                    if (lastTop) lastTop->nextSibling = &node;
                    lastTop = &node;
                } else {
                    OpenElement& parent = open.back();
                    if (parent.lastChild) {
                        parent.lastChild->nextSibling = &node;
                    } else {
                        parent.node->firstChild = &node;
                    }
                    parent.lastChild = &node;
                }
                if (!reader->IsEmptyElement()) {
                    open.emplace_back();
                    open.back().node = &node;
                }
                break;
            }
            case XmlNodeType_EndElement:
                if (!open.empty()) {
                    open.back().OtherNode();
                    open.pop_back();
                }
                break;
            case XmlNodeType_Text:
            case XmlNodeType_Whitespace:
                reader->GetValue(&text, &length);
                if (length == 0) {
                    // A text node is never empty; a document cut off inside a text makes some
                    // readers report an endless row of empty ones.
                    hr = E_UNEXPECTED;
                } else if (open.empty()) {
                    // Text beside the root element: this is no document.
                    if (!AllBlank(ToUtf8(text, length))) hr = E_UNEXPECTED;
                } else {
                    open.back().AddText(text, length);
                }
                break;
            case XmlNodeType_CDATA:
                if (!open.empty()) {
                    reader->GetValue(&text, &length);
                    open.back().CData(ToUtf8(text, length));
                }
                break;
            case XmlNodeType_Comment:
            case XmlNodeType_ProcessingInstruction:
                if (!open.empty()) open.back().OtherNode();
                break;
            default:
                break;
        }
    }
    // A document cut off inside an element, and plain text that a reader passed over in
    // silence, are no documents either, whatever the reader made of them.
    if (SUCCEEDED(hr) && (!open.empty() || !sawMarkup || !root)) hr = E_UNEXPECTED;
    if (FAILED(hr)) {
        Clear();
        return false;
    }
    return true;
}

XmlDocument::XmlDocument() : m_impl(std::make_unique<Impl>()) {}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::LoadFile(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        m_impl->Clear();
        return false;
    }
    return m_impl->Parse(bytes);
}

bool XmlDocument::LoadBytes(std::string_view bytes) { return m_impl->Parse(bytes); }

XmlElement XmlDocument::Root() const { return XmlAccess::Wrap(m_impl->root); }

}  // namespace nb::platform
