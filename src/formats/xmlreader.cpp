#include "xmlreader.h"

#include <QStringDecoder>

#include <expat.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// What the parser of this thread may still allocate: expat's memory functions take no
// context of their own.
struct ParserBudget {
    size_t left = 0;
    bool exceeded = false;
};
thread_local ParserBudget* t_pBudget = nullptr;

// Each block carries its size in front, so that a release gives it back to the budget.
constexpr size_t kBlockHeader = alignof(std::max_align_t);

size_t BlockSize(const char* block) {
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    return size;
}

void* Allocate(size_t size) {
    if (size > t_pBudget->left) {
        t_pBudget->exceeded = true;
        return nullptr;
    }
    auto* block = static_cast<char*>(std::malloc(size + kBlockHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    t_pBudget->left -= size;
    return block + kBlockHeader;
}

void Release(void* pointer) {
    if (!pointer)
        return;
    char* block = static_cast<char*>(pointer) - kBlockHeader;
    t_pBudget->left += BlockSize(block);
    std::free(block);
}

void* Reallocate(void* pointer, size_t size) {
    if (!pointer)
        return Allocate(size);
    char* block = static_cast<char*>(pointer) - kBlockHeader;
    const size_t old = BlockSize(block);
    if (size > old && size - old > t_pBudget->left) {
        t_pBudget->exceeded = true;
        return nullptr;
    }
    auto* moved = static_cast<char*>(std::realloc(block, size + kBlockHeader));
    if (!moved)
        return nullptr;
    std::memcpy(moved, &size, sizeof size);
    t_pBudget->left = t_pBudget->left + old - size;
    return moved + kBlockHeader;
}

// The encoding a document declares when expat cannot read it itself (Shift_JIS, say); empty
// when none is declared or it is one of expat's own.
QByteArray ForeignEncoding(const QByteArray& xml) {
    const qsizetype end = xml.indexOf("?>");
    if (!xml.startsWith("<?xml") || end < 0)
        return {}; // a byte order mark or no declaration: UTF-8 or UTF-16, found by expat
    const QByteArray declaration = xml.left(end);
    qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return {};
    at = declaration.indexOf('=', at);
    while (at >= 0 && ++at < declaration.size() && declaration[at] == ' ')
        ;
    if (at < 0 || at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return {};
    const qsizetype close = declaration.indexOf(declaration[at], at + 1);
    if (close < 0)
        return {};
    const QByteArray name = declaration.mid(at + 1, close - at - 1);
    for (const char* own : {"utf-8", "utf-16", "iso-8859-1", "us-ascii"}) {
        if (name.compare(own, Qt::CaseInsensitive) == 0)
            return {};
    }
    return name;
}

} // namespace

struct CXmlReaderHandlers {
    static void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* reader = static_cast<CXmlReader*>(data);
        if (reader->m_stopped)
            return;
        if (++reader->m_depth > kMaxXmlDepth)
            return reader->Refuse(MusicXmlError::TooComplex);
        if ((++reader->m_elements & 0x3FF) == 0 && reader->m_stop.stop_requested())
            return reader->Refuse(MusicXmlError::Cancelled);
        reader->OnStartElement(name, attributes);
    }

    static void XMLCALL End(void* data, const XML_Char*) {
        auto* reader = static_cast<CXmlReader*>(data);
        if (reader->m_stopped)
            return;
        reader->OnEndElement();
        --reader->m_depth;
    }

    static void XMLCALL Text(void* data, const XML_Char* text, int length) {
        auto* reader = static_cast<CXmlReader*>(data);
        if (!reader->m_stopped)
            reader->OnText({text, size_t(length)});
    }

    static void XMLCALL EntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int,
                                          const XML_Char*, const XML_Char*, const XML_Char*,
                                          const XML_Char*) {
        static_cast<CXmlReader*>(data)->Refuse(MusicXmlError::DeclaresEntities);
    }
};

CXmlReader::~CXmlReader() = default;

MusicXmlReadResult CXmlReader::Parse(const QByteArray& xml, const std::stop_token& stop) {
    QByteArray converted;
    const char* encoding = nullptr;
    if (const QByteArray name = ForeignEncoding(xml); !name.isEmpty()) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid()) {
            converted = QString(decoder.decode(xml)).toUtf8();
            encoding = "UTF-8"; // overrides the declaration
        }
    }
    const QByteArray& bytes = encoding ? converted : xml;
    if (bytes.size() > INT_MAX)
        return {MusicXmlError::TooLarge};

    // expat copies the document into a buffer of its own first, up to twice its size.
    ParserBudget budget{2 * size_t(bytes.size()) + kMaxXmlParserBytes};
    ParserBudget* const outer = t_pBudget;
    t_pBudget = &budget;
    const XML_Memory_Handling_Suite memory{Allocate, Reallocate, Release};
    XML_Parser parser = XML_ParserCreate_MM(encoding, &memory, nullptr);
    if (!parser) {
        t_pBudget = outer;
        return {MusicXmlError::TooComplex};
    }
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, CXmlReaderHandlers::Start, CXmlReaderHandlers::End);
    XML_SetCharacterDataHandler(parser, CXmlReaderHandlers::Text);
    XML_SetEntityDeclHandler(parser, CXmlReaderHandlers::EntityDeclaration);
    m_pParser = parser;
    m_refusal = MusicXmlError::None;
    m_stopped = false;
    m_depth = 0;
    m_elements = 0;
    m_stop = stop;
    // One call: expat before 2.6 parses a token again for every piece it is fed in.
    const XML_Status status = XML_Parse(parser, bytes.constData(), int(bytes.size()), XML_TRUE);
    MusicXmlReadResult result;
    if (m_refusal != MusicXmlError::None)
        result = {m_refusal, int64_t(XML_GetCurrentLineNumber(parser))};
    else if (status != XML_STATUS_OK && !m_stopped)
        result = budget.exceeded || XML_GetErrorCode(parser) == XML_ERROR_NO_MEMORY
                     ? MusicXmlReadResult{MusicXmlError::TooComplex}
                     : MusicXmlReadResult{MusicXmlError::Malformed,
                                          int64_t(XML_GetCurrentLineNumber(parser))};
    m_pParser = nullptr;
    XML_ParserFree(parser);
    t_pBudget = outer;
    return result;
}

void CXmlReader::Refuse(MusicXmlError error) {
    if (m_stopped)
        return;
    m_refusal = error;
    StopReading();
}

void CXmlReader::StopReading() {
    if (!m_stopped)
        XML_StopParser(m_pParser, XML_FALSE);
    m_stopped = true;
}

std::string_view CXmlReader::Attribute(const char* const* attributes, std::string_view name) {
    for (; *attributes; attributes += 2) {
        if (name == attributes[0])
            return attributes[1];
    }
    return {};
}
