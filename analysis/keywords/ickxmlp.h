#pragma once

// TickXMLp: a small, forgiving push tokenizer for markup. It is fed text in pieces, walks it one
// character at a time through a state machine that lasts from one call to the next, and reports
// what it recognises through events. It never rejects input; its only failure is a buffer that
// cannot grow.

#include "platform/errors.h"

#include <QObject>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>
#include <vector>

namespace keywords {

// The component's error: a code and a message.
class EickXMLp : public platform::Error {
public:
    enum : int { OutOfMemory = 200, Reentered = 201 };
    EickXMLp(int code, const QString& message) : platform::Error(message, code) {}
    static EickXMLp outOfMemory() {
        return EickXMLp(OutOfMemory, QStringLiteral("Out of memory."));
    }
};

// A non-visual component owned by a window (or any QObject) and destroyed with it.
class TickCore : public QObject {
    Q_OBJECT
public:
    explicit TickCore(QObject* owner = nullptr) : QObject(owner) {}
};

class TickXMLp;

// Event types. Every text argument views the parser's buffer and is valid during the call only:
// a handler that keeps it makes a copy (QString(text)).
using TBeginElementEvent = std::function<void(TickXMLp& Sender, QStringView Element)>;
using TCommentEvent = std::function<void(TickXMLp& Sender, QStringView Text)>;
using TEndElementEvent = std::function<void(TickXMLp& Sender, QStringView Element)>;
using TEmptyElementEvent = std::function<void(TickXMLp& Sender, QStringView Element)>;
// Value holds the reference as written ("&amp;", or "&copy" without ';'); the handler may replace
// it. A value is taken up to its first NUL.
using TEvalEntityEvent = std::function<void(TickXMLp& Sender, QStringView Entity, QString& Value)>;
using TMetaEvent = std::function<void(TickXMLp& Sender, QStringView Text)>;
using TPIEvent = std::function<void(TickXMLp& Sender, QStringView Text)>;
using TSpecialSectionEvent =
    std::function<void(TickXMLp& Sender, QStringView SectionID, QStringView Text)>;
using TTextEvent = std::function<void(TickXMLp& Sender, QStringView Text)>;

class TickXMLp : public TickCore {
    Q_OBJECT
    Q_PROPERTY(QString ExtraNameChars READ ExtraNameChars WRITE SetExtraNameChars)
    Q_PROPERTY(QString ExtraSpaceChars READ ExtraSpaceChars WRITE SetExtraSpaceChars)
    Q_PROPERTY(bool FlushOnEOL READ FlushOnEOL WRITE SetFlushOnEOL)
    Q_PROPERTY(bool PreserveWhiteSpace READ PreserveWhiteSpace WRITE SetPreserveWhiteSpace)
public:
    // Characters a buffer may hold before it counts as out of memory; tests lower it.
    static constexpr qsizetype kDefaultBufferLimit = qsizetype(1) << 28;
    static constexpr int kMaxAttributes = 64;

    explicit TickXMLp(QObject* owner = nullptr);
    ~TickXMLp() override;
    TickXMLp(const TickXMLp&) = delete;
    TickXMLp& operator=(const TickXMLp&) = delete;

    // Processes the characters in order, up to the first NUL or the end. Raises EickXMLp
    // (OutOfMemory) when a buffer cannot grow; the characters after the failing one are not
    // processed. Handlers must not call Input or Reset of the same parser (EickXMLp Reentered).
    void Input(QStringView text);
    // With Flush: delivers the pending text run, then returns to InText with empty buffers
    // (the two remembered characters stay). Without Flush it does nothing.
    void Reset(bool Flush);

    QString ExtraNameChars() const { return m_extraNameChars; }
    void SetExtraNameChars(const QString& chars);
    QString ExtraSpaceChars() const { return m_extraSpaceChars; }
    void SetExtraSpaceChars(const QString& chars);
    bool FlushOnEOL() const { return m_flushOnEOL; }
    void SetFlushOnEOL(bool on) { m_flushOnEOL = on; }
    bool PreserveWhiteSpace() const { return m_preserveWhiteSpace; }
    void SetPreserveWhiteSpace(bool on) { m_preserveWhiteSpace = on; }

    // The tag's attributes, readable during OnBeginElement and OnEmptyElement (at most 64 pairs;
    // further ones are dropped).
    int AttributeCount() const { return m_attrCount; }
    QStringView AttributeName(int i) const;
    QStringView AttributeValue(int i) const;
    // The value of the first attribute of that name (case aside); a null view when there is none.
    QStringView AttributeValue(QStringView name) const;

    // Where the parser stands between two characters; it lasts from one Input to the next.
    enum class ParseState : unsigned char {
        InText,
        AfterLessThan, // a tag if a name, "!", "/" or "?" follows, else text
        InTagName,     // also turns "<!", "<?" and "</" into their constructs
        InTag,         // between a start tag's attributes
        InAttributeName,
        AfterAttributeName,
        BeforeAttributeValue, // after "="
        InAttributeValueUnquoted,
        InAttributeValueSingleQuoted,
        InAttributeValueDoubleQuoted,
        AfterTag,              // line feeds right after a tag's ">" are dropped
        AfterLineFeed,         // in character data
        AfterLineFeedLessThan, // the line feed is dropped before "</"
        InEndTagName,
        InEndTag, // after the end tag's name, up to ">"
        InTextEntity,
        InUnquotedValueEntity,
        InSingleQuotedValueEntity,
        InDoubleQuotedValueEntity,
        AfterLessThanBang,     // a comment, a section or a declaration follows
        AfterLessThanBangDash, // "<!-": a second "-" opens a comment
        InComment,
        InProcessingInstruction,
        InDeclaration, // "<!DOCTYPE ...>" and the like, for OnMeta
        InDeclarationSingleQuoted,
        InDeclarationDoubleQuoted,
        InDeclarationBracketed,
        InSectionName, // between "<![" and the next "["
        InSection,     // up to "]]>"
    };
    Q_ENUM(ParseState)

    // For tests and diagnostics.
    ParseState State() const { return m_state; }
    // Lowers (or raises) the most characters one buffer may hold.
    void SetBufferLimit(qsizetype chars) { m_limit = chars; }
    qsizetype BufferLimit() const { return m_limit; }

    // Events, in their published order; an unassigned one is skipped.
    TBeginElementEvent OnBeginElement;
    TCommentEvent OnComment;
    TEndElementEvent OnEndElement;
    TEmptyElementEvent OnEmptyElement;
    TEvalEntityEvent OnEvalEntity;
    TMetaEvent OnMeta;
    TPIEvent OnPI;
    TSpecialSectionEvent OnSpecialSection;
    TTextEvent OnText;

    // A growable character buffer with a built-in room of 100 (99 characters and the NUL the
    // original format keeps); emptying it returns it to that room.
    class Buffer {
    public:
        static constexpr qsizetype kRoom = 100;
        explicit Buffer(const qsizetype& limit) : m_limit(limit) {}
        ~Buffer() { release(); }
        Buffer(const Buffer&) = delete;
        Buffer& operator=(const Buffer&) = delete;

        void append(char16_t c) {
            if (m_size == m_cap)
                grow(m_size + 1);
            m_data[m_size++] = c;
        }
        // Appends what fits; false when the limit stopped it (the rest is left out).
        bool appendFitting(const char16_t* s, qsizetype n);
        void append(const char16_t* s, qsizetype n) {
            if (!appendFitting(s, n))
                throw EickXMLp::outOfMemory();
        }
        void append(QStringView s) { append(s.utf16(), s.size()); }
        void chop(qsizetype n) { m_size = n >= m_size ? 0 : m_size - n; }
        void clear() {
            release();
            m_size = 0;
        }
        bool isEmpty() const { return m_size == 0; }
        qsizetype size() const { return m_size; }
        qsizetype capacity() const { return m_cap; }
        bool onHeap() const { return m_data != m_room; }
        QStringView view() const { return QStringView(m_data, m_size); }

    private:
        void grow(qsizetype needed);
        void release() {
            if (m_data != m_room)
                delete[] m_data;
            m_data = m_room;
            m_cap = kRoom - 1;
        }

        char16_t* m_data = m_room;
        qsizetype m_size = 0;
        qsizetype m_cap = kRoom - 1;
        const qsizetype& m_limit;
        char16_t m_room[kRoom];
    };

    // For tests of the built-in room.
    const Buffer& TextBuffer() const { return m_text; }

private:
    // What each character is to the scanners; ExtraNameChars and ExtraSpaceChars change it. A run
    // of a construct is the characters that have its flag, and NUL (the end of the input) has none.
    enum : unsigned char {
        NameChar = 1,           // letters, digits and the extra name characters
        SpaceChar = 2,          // C0 blanks, space and the extra space characters
        EntityNameChar = 4,     // a name character or "#"
        AttributeNameChar = 8,  // anything but a space, "/", "=" or ">"
        UnquotedValueChar = 16, // anything but a space, "&" or ">"
    };
    unsigned char classOf(char16_t c) const { return c < 256 ? m_class[c] : wideClass(c); }
    unsigned char wideClass(char16_t c) const;
    bool isName(char16_t c) const { return (classOf(c) & NameChar) != 0; }
    bool isSpace(char16_t c) const { return (classOf(c) & SpaceChar) != 0; }
    // The end of the run that starts at p: the first character without the flag.
    const char16_t* runOf(unsigned char flag, const char16_t* p, const char16_t* end) const {
        while (p < end && (classOf(*p) & flag) != 0)
            ++p;
        return p;
    }
    void rebuildClasses();

    // One scanner per construct. Each takes the characters from p on for as long as the parser
    // stays in the construct's states and leaves p after the last one it took; a character it
    // hands on to another construct stays at p.
    void scan(const char16_t*& p, const char16_t* end);
    void scanText(const char16_t*& p, const char16_t* end);
    void takeTextCharacter(const char16_t*& p);
    void scanTagName(const char16_t*& p, const char16_t* end);
    void scanAttributeName(const char16_t*& p, const char16_t* end);
    void scanAttributeValue(const char16_t*& p, const char16_t* end);
    void scanEntity(const char16_t*& p, const char16_t* end);
    void scanEndTag(const char16_t*& p, const char16_t* end);
    void scanComment(const char16_t*& p, const char16_t* end);
    void scanProcessingInstruction(const char16_t*& p, const char16_t* end);
    void scanDeclaration(const char16_t*& p, const char16_t* end);
    void scanSection(const char16_t*& p, const char16_t* end);

    // The one and two characters before p, from earlier calls where p is near the start.
    char16_t before(const char16_t* p) const { return p > m_chunk ? p[-1] : m_prev; }
    char16_t twoBefore(const char16_t* p) const {
        return p - m_chunk >= 2 ? p[-2] : p > m_chunk ? m_prev : m_prev2;
    }
    // Keeps the last two characters before p for the next call.
    void remember(const char16_t* p);

    void deliverText();
    void endLine();
    void closeStartTag(const char16_t* p);
    void addAttribute();
    void clearAttributes();
    void resolveEntity(char16_t c, Buffer& target);
    // Appends [p, to) to the buffer and moves p to the end; on the limit the characters that fit
    // are taken, p is left at the first one that did not and EickXMLp raised.
    void takeRun(Buffer& buffer, const char16_t*& p, const char16_t* to);

    struct Attribute {
        qsizetype nameAt, nameLen, valueAt, valueLen;
    };

    ParseState m_state = ParseState::InText;
    const char16_t* m_chunk = nullptr; // the text Input walks
    char16_t m_prev = 0;
    char16_t m_prev2 = 0;
    bool m_busy = false;
    qsizetype m_limit = kDefaultBufferLimit;

    Buffer m_text{m_limit};
    Buffer m_work{m_limit};
    Buffer m_entityName{m_limit};
    Buffer m_entityValue{m_limit};
    Buffer m_element{m_limit};
    Buffer m_attrName{m_limit};

    std::array<Attribute, kMaxAttributes> m_attrs{};
    int m_attrCount = 0;
    std::vector<char16_t> m_attrPool;

    QString m_extraNameChars;
    QString m_extraSpaceChars;
    QString m_wideName;  // the extra name characters beyond 255
    QString m_wideSpace; // the extra space characters beyond 255
    bool m_flushOnEOL = true;
    bool m_preserveWhiteSpace = false;
    unsigned char m_class[256];
};

} // namespace keywords
