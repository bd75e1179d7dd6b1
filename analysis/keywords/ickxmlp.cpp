#include "ickxmlp.h"

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace keywords {

namespace {

// Marks the entry for the time Input or Reset runs, so a handler cannot feed the parser again.
class BusyGuard {
public:
    explicit BusyGuard(bool& busy) : m_busy(busy) {
        if (m_busy)
            throw EickXMLp(EickXMLp::Reentered,
                           QStringLiteral("The markup parser was fed from one of its own events."));
        m_busy = true;
    }
    ~BusyGuard() { m_busy = false; }

private:
    bool& m_busy;
};

// The first of [p, end) that is one of a, b, c or NUL (end when none is). Runs of plain text
// are most of a page, so they are scanned eight characters at a time where the CPU allows.
inline const char16_t* scanTo(const char16_t* p, const char16_t* end, char16_t a, char16_t b,
                              char16_t c) {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi16(short(a));
    const __m128i vb = _mm_set1_epi16(short(b));
    const __m128i vc = _mm_set1_epi16(short(c));
    const __m128i vz = _mm_setzero_si128();
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)),
                         _mm_or_si128(_mm_cmpeq_epi16(v, vc), _mm_cmpeq_epi16(v, vz)));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return p + (__builtin_ctz(unsigned(mask)) >> 1);
        p += 8;
    }
#endif
    while (p < end && *p != a && *p != b && *p != c && *p != 0)
        ++p;
    return p;
}

} // namespace

bool TickXMLp::Buffer::appendFitting(const char16_t* s, qsizetype n) {
    bool complete = true;
    if (m_size + n > m_cap) {
        const qsizetype room = m_limit - m_size;
        if (n > room) {
            n = room > 0 ? room : 0;
            complete = false;
        }
        if (m_size + n > m_cap)
            grow(m_size + n);
    }
    if (n > 0)
        std::memcpy(m_data + m_size, s, size_t(n) * sizeof(char16_t));
    m_size += n;
    return complete;
}

void TickXMLp::Buffer::grow(qsizetype needed) {
    if (needed > m_limit)
        throw EickXMLp::outOfMemory();
    // A new block of twice the needed length (the NUL included), contents moved
    // (never beyond the limit, so that every later append is checked against it).
    const qsizetype block = qMin(2 * (needed + 1), m_limit + 1);
    char16_t* data = new (std::nothrow) char16_t[size_t(block)];
    if (!data)
        throw EickXMLp::outOfMemory();
    if (m_size > 0)
        std::memcpy(data, m_data, size_t(m_size) * sizeof(char16_t));
    if (m_data != m_room)
        delete[] m_data;
    m_data = data;
    m_cap = block - 1;
}

TickXMLp::TickXMLp(QObject* owner) : TickCore(owner) {
    rebuildClasses();
}

TickXMLp::~TickXMLp() = default;

void TickXMLp::SetExtraNameChars(const QString& chars) {
    m_extraNameChars = chars;
    rebuildClasses();
}

void TickXMLp::SetExtraSpaceChars(const QString& chars) {
    m_extraSpaceChars = chars;
    rebuildClasses();
}

void TickXMLp::rebuildClasses() {
    std::memset(m_class, 0, sizeof m_class);
    for (char16_t c = u'A'; c <= u'Z'; ++c)
        m_class[c] |= NameChar;
    for (char16_t c = u'a'; c <= u'z'; ++c)
        m_class[c] |= NameChar;
    for (char16_t c = u'0'; c <= u'9'; ++c)
        m_class[c] |= NameChar;
    for (char16_t c = 9; c <= 13; ++c)
        m_class[c] |= SpaceChar;
    m_class[u' '] |= SpaceChar;
    m_wideName.clear();
    m_wideSpace.clear();
    for (QChar c : m_extraNameChars) {
        if (c.unicode() < 256)
            m_class[c.unicode()] |= NameChar;
        else
            m_wideName += c;
    }
    for (QChar c : m_extraSpaceChars) {
        if (c.unicode() < 256)
            m_class[c.unicode()] |= SpaceChar;
        else
            m_wideSpace += c;
    }
}

QStringView TickXMLp::AttributeName(int i) const {
    if (i < 0 || i >= m_attrCount)
        return {};
    const Attribute& a = m_attrs[size_t(i)];
    return QStringView(m_attrPool.data() + a.nameAt, a.nameLen);
}

QStringView TickXMLp::AttributeValue(int i) const {
    if (i < 0 || i >= m_attrCount)
        return {};
    const Attribute& a = m_attrs[size_t(i)];
    return QStringView(m_attrPool.data() + a.valueAt, a.valueLen);
}

QStringView TickXMLp::AttributeValue(QStringView name) const {
    for (int i = 0; i < m_attrCount; ++i)
        if (AttributeName(i).compare(name, Qt::CaseInsensitive) == 0) {
            const QStringView v = AttributeValue(i);
            return v.isNull() ? QStringView(u"") : v;
        }
    return {};
}

void TickXMLp::shiftRun(const char16_t* from, const char16_t* to) {
    if (to - from >= 2) {
        m_prev2 = to[-2];
        m_prev = to[-1];
    } else if (to > from) {
        m_prev2 = m_prev;
        m_prev = to[-1];
    }
}

void TickXMLp::takeRun(Buffer& buffer, const char16_t* from, const char16_t* to) {
    const qsizetype before = buffer.size();
    const bool complete = buffer.appendFitting(from, to - from);
    shiftRun(from, from + (buffer.size() - before));
    if (!complete)
        throw EickXMLp::outOfMemory();
}

void TickXMLp::Input(QStringView text) {
    BusyGuard guard(m_busy);
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p < end) {
        // Long stretches that a state only collects are taken in one step; the result is the
        // same as feeding them one by one.
        const char16_t* q = p;
        switch (m_state) {
        case ParseState::InText:
            q = scanTo(p, end, u'<', u'&', u'\n');
            if (q > p)
                takeRun(m_text, p, q);
            break;
        case ParseState::InTagName:
        case ParseState::InEndTagName:
            while (q < end && *q && isName(*q))
                ++q;
            if (q > p)
                takeRun(m_work, p, q);
            break;
        case ParseState::InAttributeValueSingleQuoted:
            q = scanTo(p, end, u'\'', u'&', u'&');
            if (q > p)
                takeRun(m_work, p, q);
            break;
        case ParseState::InAttributeValueDoubleQuoted:
            q = scanTo(p, end, u'"', u'&', u'&');
            if (q > p)
                takeRun(m_work, p, q);
            break;
        case ParseState::InComment:
        case ParseState::InProcessingInstruction:
            q = scanTo(p, end, u'>', u'>', u'>');
            if (q > p)
                takeRun(m_work, p, q);
            break;
        case ParseState::InSection:
            q = scanTo(p, end, u'>', u'>', u'>');
            if (q > p)
                takeRun(m_text, p, q);
            break;
        default: // taken one by one
            break;
        }
        p = q;
        if (p == end)
            break;
        const char16_t c = *p;
        if (c == 0)
            break;
        handle(c);
        m_prev2 = m_prev;
        m_prev = c;
        ++p;
    }
}

void TickXMLp::Reset(bool Flush) {
    if (!Flush)
        return;
    BusyGuard guard(m_busy);
    deliverText();
    m_state = ParseState::InText;
    m_text.clear();
    m_work.clear();
    m_entityName.clear();
    m_entityValue.clear();
    m_element.clear();
    m_attrName.clear();
    clearAttributes();
}

void TickXMLp::deliverText() {
    if (m_text.isEmpty())
        return;
    if (OnText)
        OnText(*this, m_text.view());
    m_text.clear();
}

void TickXMLp::finishTag() {
    if (m_prev == u'/') {
        if (OnEmptyElement)
            OnEmptyElement(*this, m_element.view());
    } else if (OnBeginElement) {
        OnBeginElement(*this, m_element.view());
    }
    m_element.clear();
    clearAttributes();
}

void TickXMLp::addAttribute() {
    if (m_attrCount < kMaxAttributes) {
        const QStringView name = m_attrName.view();
        const QStringView value = m_work.view();
        Attribute a;
        a.nameAt = qsizetype(m_attrPool.size());
        a.nameLen = name.size();
        a.valueAt = a.nameAt + name.size();
        a.valueLen = value.size();
        try {
            m_attrPool.insert(m_attrPool.end(), name.utf16(), name.utf16() + name.size());
            m_attrPool.insert(m_attrPool.end(), value.utf16(), value.utf16() + value.size());
        } catch (const std::bad_alloc&) {
            m_attrPool.resize(size_t(a.nameAt));
            throw EickXMLp::outOfMemory();
        }
        m_attrs[size_t(m_attrCount++)] = a;
    }
    m_attrName.clear();
    m_work.clear();
}

void TickXMLp::clearAttributes() {
    m_attrCount = 0;
    m_attrPool.clear();
}

void TickXMLp::resolveEntity(char16_t c, Buffer& target) {
    deliverText();
    m_entityValue.clear();
    m_entityValue.append(u'&');
    m_entityValue.append(m_entityName.view());
    if (c == u';')
        m_entityValue.append(u';');
    if (OnEvalEntity) {
        QString value = m_entityValue.view().toString();
        OnEvalEntity(*this, m_entityName.view(), value);
        const qsizetype nul = value.indexOf(QChar(u'\0'));
        m_entityValue.clear();
        m_entityValue.append(QStringView(value).left(nul < 0 ? value.size() : nul));
    }
    m_entityName.clear();
    target.append(m_entityValue.view());
    m_entityValue.clear();
}

void TickXMLp::handle(char16_t c) {
    for (;;) {
        switch (m_state) {
        case ParseState::InText: // character data
            if (c == u'\n') {
                m_state = ParseState::AfterLineFeed;
            } else if (c == u'&') {
                m_entityName.clear();
                m_state = ParseState::InTextEntity;
            } else if (c == u'<') {
                m_work.clear();
                m_state = ParseState::AfterLessThan;
            } else {
                m_text.append(c);
            }
            return;
        case ParseState::InTagName: // tag name
            if (isName(c)) {
                m_work.append(c);
            } else if (c == u'!') {
                m_work.clear();
                deliverText();
                m_state = ParseState::AfterLessThanBang;
            } else if (c == u'?') {
                m_work.clear();
                deliverText();
                m_state = ParseState::InProcessingInstruction;
            } else if (c == u'/' && m_prev == u'<') {
                m_state = ParseState::InEndTagName;
            } else {
                deliverText();
                m_element.clear();
                m_element.append(m_work.view());
                m_work.clear();
                m_attrName.clear();
                if (c == u'>') {
                    finishTag();
                    m_state = ParseState::AfterTag;
                } else {
                    m_state = ParseState::InTag;
                }
            }
            return;
        case ParseState::AfterLessThan: // after "<"
            if (isName(c) || c == u'!' || c == u'/' || c == u'?') {
                m_state = ParseState::InTagName;
                continue;
            }
            m_text.append(u'<');
            m_state = ParseState::InText;
            continue;
        case ParseState::InTag: // inside a tag
            if (isSpace(c) || c == u'/')
                return;
            if (c == u'>') {
                finishTag();
                m_state = ParseState::AfterTag;
                return;
            }
            m_work.append(c);
            m_state = ParseState::InAttributeName;
            return;
        case ParseState::InAttributeName: // attribute name
            if (!isSpace(c) && c != u'/' && c != u'=' && c != u'>') {
                m_work.append(c);
                return;
            }
            m_attrName.clear();
            m_attrName.append(m_work.view());
            m_work.clear();
            if (c == u'=') {
                m_state = ParseState::BeforeAttributeValue;
            } else if (c == u'/') {
                addAttribute();
                m_state = ParseState::AfterAttributeName;
            } else if (c == u'>') {
                addAttribute();
                finishTag();
                m_state = ParseState::AfterTag;
            } else {
                m_state = ParseState::AfterAttributeName;
            }
            return;
        case ParseState::AfterAttributeName: // after an attribute name; a "/" has already added its
                                             // attribute
            if (isSpace(c))
                return;
            if (c == u'=') {
                m_state = ParseState::BeforeAttributeValue;
                return;
            }
            if (!m_attrName.isEmpty())
                addAttribute();
            if (c == u'>') {
                finishTag();
                m_state = ParseState::AfterTag;
            } else {
                m_work.append(c);
                m_state = ParseState::InAttributeName;
            }
            return;
        case ParseState::BeforeAttributeValue: // after "="
            if (isSpace(c))
                return;
            if (c == u'"') {
                m_state = ParseState::InAttributeValueDoubleQuoted;
            } else if (c == u'\'') {
                m_state = ParseState::InAttributeValueSingleQuoted;
            } else if (c == u'&') {
                m_entityName.clear();
                m_state = ParseState::InUnquotedValueEntity;
            } else if (c == u'>') {
                addAttribute();
                finishTag();
                m_state = ParseState::AfterTag;
            } else {
                m_work.append(c);
                m_state = ParseState::InAttributeValueUnquoted;
            }
            return;
        case ParseState::InAttributeValueUnquoted: // unquoted value
            if (c == u'&') {
                m_entityName.clear();
                m_state = ParseState::InUnquotedValueEntity;
                return;
            }
            if (!isSpace(c) && c != u'>') {
                m_work.append(c);
                return;
            }
            if (c == u'>' && m_prev == u'/')
                m_work.chop(1);
            addAttribute();
            if (c == u'>') {
                finishTag();
                m_state = ParseState::AfterTag;
            } else {
                m_state = ParseState::InTag;
            }
            return;
        case ParseState::AfterTag: // just after a tag's ">"
            if (c == u'\n' && !m_preserveWhiteSpace)
                return;
            m_state = ParseState::InText;
            continue;
        case ParseState::AfterLineFeed: // line feed seen in character data
            if (c == u'<') {
                m_work.clear();
                m_state = ParseState::AfterLineFeedLessThan;
                return;
            }
            m_text.append(u'\n');
            if (m_flushOnEOL)
                deliverText();
            m_state = ParseState::InText;
            continue;
        case ParseState::AfterLineFeedLessThan: // line feed followed by "<"
            if (!(c == u'/' && !m_preserveWhiteSpace)) {
                m_text.append(u'\n');
                if (m_flushOnEOL)
                    deliverText();
            }
            m_state = ParseState::AfterLessThan;
            continue;
        case ParseState::InAttributeValueSingleQuoted: // single-quoted value
            if (c == u'&') {
                m_entityName.clear();
                m_state = ParseState::InSingleQuotedValueEntity;
            } else if (c == u'\'') {
                addAttribute();
                m_state = ParseState::InTag;
            } else {
                m_work.append(c);
            }
            return;
        case ParseState::InAttributeValueDoubleQuoted: // double-quoted value
            if (c == u'"') {
                addAttribute();
                m_state = ParseState::InTag;
            } else if (c == u'&') {
                m_entityName.clear();
                m_state = ParseState::InDoubleQuotedValueEntity;
            } else {
                m_work.append(c);
            }
            return;
        case ParseState::InEndTagName: // end-tag name
            if (isName(c)) {
                m_work.append(c);
                return;
            }
            deliverText();
            if (OnEndElement)
                OnEndElement(*this, m_work.view());
            m_work.clear();
            m_state = c == u'>' ? ParseState::InText : ParseState::InEndTag;
            return;
        case ParseState::InTextEntity: // entity reference in character data
            if (isName(c) || c == u'#') {
                m_entityName.append(c);
                return;
            }
            resolveEntity(c, m_text);
            m_state = ParseState::InText;
            if (c == u';')
                return;
            continue;
        case ParseState::InUnquotedValueEntity:
        case ParseState::InSingleQuotedValueEntity:
        case ParseState::InDoubleQuotedValueEntity: { // entity reference in an unquoted,
                                                      // single-quoted, double-quoted value
            if (isName(c) || c == u'#') {
                m_entityName.append(c);
                return;
            }
            resolveEntity(c, m_work);
            m_state = m_state == ParseState::InUnquotedValueEntity
                          ? ParseState::InAttributeValueUnquoted
                      : m_state == ParseState::InSingleQuotedValueEntity
                          ? ParseState::InAttributeValueSingleQuoted
                          : ParseState::InAttributeValueDoubleQuoted;
            if (c == u';')
                return;
            continue;
        }
        case ParseState::InEndTag: // rest of an end tag
            if (c == u'>')
                m_state = ParseState::InText;
            return;
        case ParseState::AfterLessThanBangDash: // after "<!-"
            if (c == u'-') {
                m_work.clear();
                m_state = ParseState::InComment;
            } else {
                m_work.append(c);
                m_state = ParseState::InDeclaration;
            }
            return;
        case ParseState::InComment: // comment
            if (c == u'>' && m_prev == u'-' && m_prev2 == u'-') {
                m_work.chop(2);
                deliverText();
                if (OnComment)
                    OnComment(*this, m_work.view());
                m_work.clear();
                m_state = ParseState::AfterTag;
            } else {
                m_work.append(c);
            }
            return;
        case ParseState::InProcessingInstruction: // processing instruction
            if (c == u'>' && m_prev == u'?') {
                m_work.chop(1);
                deliverText();
                if (OnPI)
                    OnPI(*this, m_work.view());
                m_work.clear();
                m_state = ParseState::AfterTag;
            } else {
                m_work.append(c);
            }
            return;
        case ParseState::AfterLessThanBang: // after "<!"
            if (c == u'[') {
                m_state = ParseState::InSectionName;
            } else if (c == u'-') {
                m_work.append(c);
                m_state = ParseState::AfterLessThanBangDash;
            } else {
                m_work.append(c);
                m_state = ParseState::InDeclaration;
            }
            return;
        case ParseState::InDeclaration: // declaration
            if (c == u'>') {
                m_state = ParseState::AfterTag;
                deliverText();
                if (OnMeta)
                    OnMeta(*this, m_work.view());
                m_work.clear();
                return;
            }
            m_work.append(c);
            if (c == u'[')
                m_state = ParseState::InDeclarationBracketed;
            else if (c == u'"')
                m_state = ParseState::InDeclarationDoubleQuoted;
            else if (c == u'\'')
                m_state = ParseState::InDeclarationSingleQuoted;
            return;
        case ParseState::InSection: // special-section body
            if (c == u'>' && m_prev == u']' && m_prev2 == u']') {
                m_text.chop(2);
                if (OnSpecialSection)
                    OnSpecialSection(*this, m_work.view(), m_text.view());
                m_work.clear();
                m_text.clear();
                m_state = ParseState::InText;
            } else {
                m_text.append(c);
            }
            return;
        case ParseState::InSectionName: // section identifier after "<!["
            if (c == u'[')
                m_state = ParseState::InSection;
            else if (!isSpace(c))
                m_work.append(c);
            return;
        case ParseState::InDeclarationSingleQuoted: // single-quoted part of a declaration
            m_work.append(c);
            if (c == u'\'')
                m_state = ParseState::InDeclaration;
            return;
        case ParseState::InDeclarationDoubleQuoted: // double-quoted part
            m_work.append(c);
            if (c == u'"')
                m_state = ParseState::InDeclaration;
            return;
        case ParseState::InDeclarationBracketed: // bracketed part
            m_work.append(c);
            if (c == u']')
                m_state = ParseState::InDeclaration;
            return;
        }
    }
}

} // namespace keywords
