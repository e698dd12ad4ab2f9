#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace nb::platform {

// A read-only view of XML documents, just what the launcher reads: elements by name, their
// attributes and their text. Handles are small values that stay valid while their document
// lives; a default handle is "none" (false) and every look-up on it gives none again.
//
// Texts follow the rule of the parser the service documents were written for: the text of
// an element loses its leading and trailing white space and every inner run of white space
// (blank, tab, CR, LF) becomes one blank, so "<login>\n abc\n</login>" reads as "abc".
// Attribute values are given as the document holds them (entities resolved, nothing trimmed).
// Every string is UTF-8, exactly the bytes of the document after entity resolution.

class XmlAttribute {
public:
    XmlAttribute() = default;
    explicit operator bool() const { return m_node != nullptr; }
    const char* Name() const;   // never null on a valid handle
    const char* Value() const;  // never null on a valid handle
    XmlAttribute Next() const;  // the following attribute of the same element, in document order

private:
    friend struct XmlAccess;
    explicit XmlAttribute(const void* node) : m_node(node) {}
    const void* m_node = nullptr;
};

class XmlElement {
public:
    XmlElement() = default;
    explicit operator bool() const { return m_node != nullptr; }

    const char* Name() const;  // "" on a handle that is none

    // The first child element, or the following sibling element, with that name; any name
    // when `name` is null.
    XmlElement FirstChildElement(const char* name = nullptr) const;
    XmlElement NextSiblingElement(const char* name = nullptr) const;

    // The value of the attribute of that name; null when the element has none.
    const char* Attribute(const char* name) const;
    // The attributes in document order, for readers that take many of them from one element.
    XmlAttribute FirstAttribute() const;

    // The text of the element's first child node, with the white-space rule above; null when
    // the element has no child or its first child is not text (an element, a comment).
    const char* Text() const;

private:
    friend struct XmlAccess;
    explicit XmlElement(const void* node) : m_node(node) {}
    const void* m_node = nullptr;
};

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // False when the file is missing or unreadable, when the text is not well-formed XML
    // (an unclosed or crossed element, a repeated attribute, a second document element...),
    // or when it has no document element; the document is then empty. Checks beyond these,
    // such as refusing an undeclared entity, are the system parser's own. A new load replaces the old
    // document and invalidates its handles.
    bool LoadFile(const std::string& path);
    bool LoadBytes(std::string_view bytes);

    // The document element; none when nothing is loaded.
    XmlElement Root() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace nb::platform
