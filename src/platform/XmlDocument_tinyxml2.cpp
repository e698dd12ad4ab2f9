#include "platform/XmlDocument.h"

#include <tinyxml2.h>

namespace nb::platform {

struct XmlAccess {
    static XmlElement Wrap(const tinyxml2::XMLElement* e) { return XmlElement(e); }
    static XmlAttribute Wrap(const tinyxml2::XMLAttribute* a) { return XmlAttribute(a); }
    static const tinyxml2::XMLElement* Get(const XmlElement& e) {
        return static_cast<const tinyxml2::XMLElement*>(e.m_node);
    }
    static const tinyxml2::XMLAttribute* Get(const XmlAttribute& a) {
        return static_cast<const tinyxml2::XMLAttribute*>(a.m_node);
    }
};

const char* XmlAttribute::Name() const { return XmlAccess::Get(*this)->Name(); }

const char* XmlAttribute::Value() const { return XmlAccess::Get(*this)->Value(); }

XmlAttribute XmlAttribute::Next() const { return XmlAccess::Wrap(XmlAccess::Get(*this)->Next()); }

const char* XmlElement::Name() const {
    const char* name = m_node ? XmlAccess::Get(*this)->Name() : nullptr;
    return name ? name : "";
}

XmlElement XmlElement::FirstChildElement(const char* name) const {
    if (!m_node) return {};
    return XmlAccess::Wrap(XmlAccess::Get(*this)->FirstChildElement(name));
}

XmlElement XmlElement::NextSiblingElement(const char* name) const {
    if (!m_node) return {};
    return XmlAccess::Wrap(XmlAccess::Get(*this)->NextSiblingElement(name));
}

const char* XmlElement::Attribute(const char* name) const {
    return m_node ? XmlAccess::Get(*this)->Attribute(name) : nullptr;
}

XmlAttribute XmlElement::FirstAttribute() const {
    if (!m_node) return {};
    return XmlAccess::Wrap(XmlAccess::Get(*this)->FirstAttribute());
}

const char* XmlElement::Text() const {
    if (!m_node) return nullptr;
    const tinyxml2::XMLNode* child = XmlAccess::Get(*this)->FirstChild();
    return child && child->ToText() ? child->Value() : nullptr;
}

// The collapsing mode gives exactly the trimmed, collapsed texts the documents were written
// for; attribute values are not touched by it.
struct XmlDocument::Impl {
    tinyxml2::XMLDocument doc{true, tinyxml2::COLLAPSE_WHITESPACE};

    bool Accept(tinyxml2::XMLError result) {
        // One document element, as XML has it (the parser itself would take several).
        const tinyxml2::XMLElement* root = result == tinyxml2::XML_SUCCESS ? doc.RootElement() : nullptr;
        if (root && !root->NextSiblingElement()) return true;
        doc.Clear();
        return false;
    }
};

XmlDocument::XmlDocument() : m_impl(std::make_unique<Impl>()) {}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::LoadFile(const std::string& path) { return m_impl->Accept(m_impl->doc.LoadFile(path.c_str())); }

bool XmlDocument::LoadBytes(std::string_view bytes) {
    // An empty buffer is refused by the parser with its own code; it is simply no document.
    if (bytes.empty()) return m_impl->Accept(tinyxml2::XML_ERROR_EMPTY_DOCUMENT);
    return m_impl->Accept(m_impl->doc.Parse(bytes.data(), bytes.size()));
}

XmlElement XmlDocument::Root() const { return XmlAccess::Wrap(m_impl->doc.RootElement()); }

}  // namespace nb::platform
