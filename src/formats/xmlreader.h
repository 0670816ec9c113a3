// XML read as a stream of elements (expat): time linear in any document, memory bounded, a
// document type that declares entities refused before anything is expanded. The MusicXML
// reader and the .mxl container's reader derive from it.
#pragma once

#include "musicxml.h"

#include <QByteArray>

#include <stop_token>
#include <string_view>

struct XML_ParserStruct;

class CXmlReader {
public:
    virtual ~CXmlReader();

    /// Hands every element and text of `xml` to the handlers. Refuses a document that declares
    /// entities, nests elements deeper than kMaxXmlDepth or whose parse would take more than
    /// kMaxXmlParserBytes beside the parser's copy of it (attributes by the million); answers
    /// Cancelled once `stop` is requested, and whatever a handler refused with.
    MusicXmlReadResult Parse(const QByteArray& xml, const std::stop_token& stop = {});

protected:
    /// An element starts; `attributes` are name and value in turn, ended by a null.
    virtual void OnStartElement(std::string_view name, const char* const* attributes) = 0;
    virtual void OnEndElement() = 0;
    /// A piece of text; one text may come in several pieces (a comment or a reference
    /// splits it).
    virtual void OnText(std::string_view text) = 0;

    /// Ends the reading from a handler; Parse answers `error`.
    void Refuse(MusicXmlError error);
    /// Ends the reading from a handler when all that was wanted is read; Parse succeeds.
    void StopReading();
    /// How many elements are open, the one just started included.
    int Depth() const { return m_depth; }
    /// The value of attribute `name`, empty when it is not there.
    static std::string_view Attribute(const char* const* attributes, std::string_view name);

private:
    friend struct CXmlReaderHandlers;

    XML_ParserStruct* m_pParser = nullptr; // while Parse runs
    MusicXmlError m_refusal = MusicXmlError::None;
    bool m_stopped = false; // by a refusal or StopReading
    int m_depth = 0;
    unsigned m_elements = 0;
    std::stop_token m_stop;
};

/// Elements deeper than this are no score's (MusicXML nests about ten).
constexpr int kMaxXmlDepth = 256;
/// What the parser may allocate beyond the document's own copy: far more than any real score
/// takes, far less than an element of a million attributes would.
constexpr size_t kMaxXmlParserBytes = size_t(64) << 20;
