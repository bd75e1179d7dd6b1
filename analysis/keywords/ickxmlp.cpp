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

// Input ends at the end of the text or at its first NUL.
inline bool stopped(const char16_t* p, const char16_t* end) {
    return p == end || *p == 0;
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
    for (int c = 0; c < 256; ++c) {
        if (m_class[c] & NameChar)
            m_class[c] |= EntityNameChar;
        if (!(m_class[c] & SpaceChar))
            m_class[c] |= AttributeNameChar | UnquotedValueChar;
    }
    m_class[u'#'] |= EntityNameChar;
    for (char16_t c : {u'/', u'=', u'>'})
        m_class[c] &= ~AttributeNameChar;
    for (char16_t c : {u'&', u'>'})
        m_class[c] &= ~UnquotedValueChar;
    m_class[0] = 0;
}

unsigned char TickXMLp::wideClass(char16_t c) const {
    unsigned char k = 0;
    if (m_wideName.contains(QChar(c)))
        k |= NameChar | EntityNameChar;
    if (m_wideSpace.contains(QChar(c)))
        k |= SpaceChar;
    else
        k |= AttributeNameChar | UnquotedValueChar;
    return k;
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

void TickXMLp::remember(const char16_t* p) {
    if (p - m_chunk >= 2) {
        m_prev2 = p[-2];
        m_prev = p[-1];
    } else if (p > m_chunk) {
        m_prev2 = m_prev;
        m_prev = p[-1];
    }
}

void TickXMLp::takeRun(Buffer& buffer, const char16_t*& p, const char16_t* to) {
    if (to == p)
        return;
    const qsizetype before = buffer.size();
    if (!buffer.appendFitting(p, to - p)) {
        p += buffer.size() - before;
        throw EickXMLp::outOfMemory();
    }
    p = to;
}

void TickXMLp::Input(QStringView text) {
    BusyGuard guard(m_busy);
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    m_chunk = p;
    // The scanners take a stretch that a state only collects in one step, with the same result as
    // one by one. A character that raised stays at p and so counts as not taken.
    try {
        while (!stopped(p, end))
            scan(p, end);
    } catch (...) {
        remember(p);
        throw;
    }
    remember(p);
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

// A line feed that belongs to the text; it ends the run where FlushOnEOL asks for it.
void TickXMLp::endLine() {
    m_text.append(u'\n');
    if (m_flushOnEOL)
        deliverText();
}

// The ">" at p closes a start tag; "/>" makes it an empty element.
void TickXMLp::closeStartTag(const char16_t* p) {
    if (before(p) == u'/') {
        if (OnEmptyElement)
            OnEmptyElement(*this, m_element.view());
    } else if (OnBeginElement) {
        OnBeginElement(*this, m_element.view());
    }
    m_element.clear();
    clearAttributes();
    m_state = ParseState::AfterTag;
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

void TickXMLp::scan(const char16_t*& p, const char16_t* end) {
    switch (m_state) {
    case ParseState::InText:
    case ParseState::AfterLessThan:
    case ParseState::AfterTag:
    case ParseState::AfterLineFeed:
    case ParseState::AfterLineFeedLessThan:
        return scanText(p, end);
    case ParseState::InTagName:
        return scanTagName(p, end);
    case ParseState::InTag:
    case ParseState::InAttributeName:
    case ParseState::AfterAttributeName:
        return scanAttributeName(p, end);
    case ParseState::BeforeAttributeValue:
    case ParseState::InAttributeValueUnquoted:
    case ParseState::InAttributeValueSingleQuoted:
    case ParseState::InAttributeValueDoubleQuoted:
        return scanAttributeValue(p, end);
    case ParseState::InTextEntity:
    case ParseState::InUnquotedValueEntity:
    case ParseState::InSingleQuotedValueEntity:
    case ParseState::InDoubleQuotedValueEntity:
        return scanEntity(p, end);
    case ParseState::InEndTagName:
    case ParseState::InEndTag:
        return scanEndTag(p, end);
    case ParseState::AfterLessThanBangDash:
    case ParseState::InComment:
        return scanComment(p, end);
    case ParseState::InProcessingInstruction:
        return scanProcessingInstruction(p, end);
    case ParseState::AfterLessThanBang:
    case ParseState::InDeclaration:
    case ParseState::InDeclarationSingleQuoted:
    case ParseState::InDeclarationDoubleQuoted:
    case ParseState::InDeclarationBracketed:
        return scanDeclaration(p, end);
    case ParseState::InSectionName:
    case ParseState::InSection:
        return scanSection(p, end);
    }
}

// Character data up to "<", "&" or a line feed, and what decides whether those belong to it.
void TickXMLp::scanText(const char16_t*& p, const char16_t* end) {
    while (!stopped(p, end)) {
        const char16_t c = *p;
        switch (m_state) {
        case ParseState::InText:
            takeRun(m_text, p, scanTo(p, end, u'<', u'&', u'\n'));
            if (stopped(p, end))
                return;
            takeTextCharacter(p);
            continue;
        case ParseState::AfterLessThan:
            if (isName(c) || c == u'!' || c == u'/' || c == u'?') {
                m_state = ParseState::InTagName;
                return;
            }
            m_text.append(u'<');
            m_state = ParseState::InText;
            takeTextCharacter(p);
            continue;
        case ParseState::AfterTag:
            if (c == u'\n' && !m_preserveWhiteSpace) {
                ++p;
                continue;
            }
            m_state = ParseState::InText;
            takeTextCharacter(p);
            continue;
        case ParseState::AfterLineFeed:
            if (c == u'<') {
                m_work.clear();
                m_state = ParseState::AfterLineFeedLessThan;
                ++p;
                continue;
            }
            endLine();
            m_state = ParseState::InText;
            takeTextCharacter(p);
            continue;
        case ParseState::AfterLineFeedLessThan:
            if (!(c == u'/' && !m_preserveWhiteSpace))
                endLine();
            m_state = ParseState::AfterLessThan;
            continue;
        default:
            return;
        }
    }
}

// The character at p in InText. One that another state hands on is taken alone, not as the start
// of a run, so that the text buffer keeps growing in the same steps.
void TickXMLp::takeTextCharacter(const char16_t*& p) {
    switch (*p) {
    case u'\n':
        m_state = ParseState::AfterLineFeed;
        break;
    case u'&':
        m_entityName.clear();
        m_state = ParseState::InTextEntity;
        break;
    case u'<':
        m_work.clear();
        m_state = ParseState::AfterLessThan;
        break;
    default:
        m_text.append(*p);
        break;
    }
    ++p;
}

// The name after "<"; "!", "?" and a "/" right after the "<" turn it into another construct.
void TickXMLp::scanTagName(const char16_t*& p, const char16_t* end) {
    takeRun(m_work, p, runOf(NameChar, p, end));
    if (stopped(p, end))
        return;
    const char16_t c = *p;
    if (c == u'!') {
        m_work.clear();
        deliverText();
        m_state = ParseState::AfterLessThanBang;
    } else if (c == u'?') {
        m_work.clear();
        deliverText();
        m_state = ParseState::InProcessingInstruction;
    } else if (c == u'/' && before(p) == u'<') {
        m_state = ParseState::InEndTagName;
    } else {
        deliverText();
        m_element.clear();
        m_element.append(m_work.view());
        m_work.clear();
        m_attrName.clear();
        if (c == u'>')
            closeStartTag(p);
        else
            m_state = ParseState::InTag;
    }
    ++p;
}

// Attribute names up to "=", or to the next name or the tag's end for a valueless one.
void TickXMLp::scanAttributeName(const char16_t*& p, const char16_t* end) {
    while (!stopped(p, end)) {
        switch (m_state) {
        case ParseState::InTag: {
            const char16_t c = *p;
            if (isSpace(c) || c == u'/') {
                ++p;
                continue;
            }
            if (c == u'>') {
                closeStartTag(p);
                ++p;
                return;
            }
            m_work.append(c);
            m_state = ParseState::InAttributeName;
            ++p;
            continue;
        }
        case ParseState::InAttributeName: {
            takeRun(m_work, p, runOf(AttributeNameChar, p, end));
            if (stopped(p, end))
                return;
            const char16_t c = *p;
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
                closeStartTag(p);
            } else {
                m_state = ParseState::AfterAttributeName;
            }
            ++p;
            continue;
        }
        case ParseState::AfterAttributeName: {
            // A "/" has already added its attribute.
            const char16_t c = *p;
            if (isSpace(c)) {
                ++p;
                continue;
            }
            if (c == u'=') {
                m_state = ParseState::BeforeAttributeValue;
                ++p;
                return;
            }
            if (!m_attrName.isEmpty())
                addAttribute();
            if (c == u'>') {
                closeStartTag(p);
            } else {
                m_work.append(c);
                m_state = ParseState::InAttributeName;
            }
            ++p;
            continue;
        }
        default:
            return;
        }
    }
}

// The value after "=": quoted, unquoted or none; "&" starts a reference inside it.
void TickXMLp::scanAttributeValue(const char16_t*& p, const char16_t* end) {
    while (!stopped(p, end)) {
        switch (m_state) {
        case ParseState::BeforeAttributeValue: {
            const char16_t c = *p;
            if (isSpace(c)) {
                ++p;
                continue;
            }
            if (c == u'"') {
                m_state = ParseState::InAttributeValueDoubleQuoted;
            } else if (c == u'\'') {
                m_state = ParseState::InAttributeValueSingleQuoted;
            } else if (c == u'&') {
                m_entityName.clear();
                m_state = ParseState::InUnquotedValueEntity;
            } else if (c == u'>') {
                addAttribute();
                closeStartTag(p);
            } else {
                m_work.append(c);
                m_state = ParseState::InAttributeValueUnquoted;
            }
            ++p;
            continue;
        }
        case ParseState::InAttributeValueUnquoted: {
            takeRun(m_work, p, runOf(UnquotedValueChar, p, end));
            if (stopped(p, end))
                return;
            const char16_t c = *p;
            if (c == u'&') {
                m_entityName.clear();
                m_state = ParseState::InUnquotedValueEntity;
                ++p;
                return;
            }
            // A space or ">"; the "/" of "/>" is no part of the value.
            if (c == u'>' && before(p) == u'/')
                m_work.chop(1);
            addAttribute();
            if (c == u'>')
                closeStartTag(p);
            else
                m_state = ParseState::InTag;
            ++p;
            return;
        }
        case ParseState::InAttributeValueSingleQuoted:
        case ParseState::InAttributeValueDoubleQuoted: {
            const bool single = m_state == ParseState::InAttributeValueSingleQuoted;
            const char16_t quote = single ? u'\'' : u'"';
            takeRun(m_work, p, scanTo(p, end, quote, u'&', u'&'));
            if (stopped(p, end))
                return;
            if (*p == u'&') {
                m_entityName.clear();
                m_state = single ? ParseState::InSingleQuotedValueEntity
                                 : ParseState::InDoubleQuotedValueEntity;
            } else {
                addAttribute();
                m_state = ParseState::InTag;
            }
            ++p;
            return;
        }
        default:
            return;
        }
    }
}

// A reference after "&": name characters and "#". Whatever ends it resolves it through
// OnEvalEntity into the text or value it stood in; a ";" belongs to the reference, any other
// character goes back to that text or value.
void TickXMLp::scanEntity(const char16_t*& p, const char16_t* end) {
    takeRun(m_entityName, p, runOf(EntityNameChar, p, end));
    if (stopped(p, end))
        return;
    const char16_t c = *p;
    if (m_state == ParseState::InTextEntity) {
        resolveEntity(c, m_text);
        m_state = ParseState::InText;
        if (c == u';')
            ++p;
        else
            takeTextCharacter(p);
        return;
    }
    resolveEntity(c, m_work);
    if (m_state == ParseState::InUnquotedValueEntity)
        m_state = ParseState::InAttributeValueUnquoted;
    else if (m_state == ParseState::InSingleQuotedValueEntity)
        m_state = ParseState::InAttributeValueSingleQuoted;
    else
        m_state = ParseState::InAttributeValueDoubleQuoted;
    if (c == u';')
        ++p;
}

// "</name", reported at the first character after the name; the rest up to ">" is ignored.
void TickXMLp::scanEndTag(const char16_t*& p, const char16_t* end) {
    if (m_state == ParseState::InEndTagName) {
        takeRun(m_work, p, runOf(NameChar, p, end));
        if (stopped(p, end))
            return;
        deliverText();
        if (OnEndElement)
            OnEndElement(*this, m_work.view());
        m_work.clear();
        m_state = *p == u'>' ? ParseState::InText : ParseState::InEndTag;
        ++p;
        return;
    }
    p = scanTo(p, end, u'>', u'>', u'>');
    if (stopped(p, end))
        return;
    m_state = ParseState::InText;
    ++p;
}

// "<!--" up to "-->"; "<!-" and anything but a second "-" is a declaration.
void TickXMLp::scanComment(const char16_t*& p, const char16_t* end) {
    if (m_state == ParseState::AfterLessThanBangDash) {
        const char16_t c = *p;
        if (c == u'-') {
            m_work.clear();
            m_state = ParseState::InComment;
        } else {
            m_work.append(c);
            m_state = ParseState::InDeclaration;
            ++p;
            return;
        }
        ++p;
    }
    while (!stopped(p, end)) {
        takeRun(m_work, p, scanTo(p, end, u'>', u'>', u'>'));
        if (stopped(p, end))
            return;
        if (before(p) == u'-' && twoBefore(p) == u'-') {
            m_work.chop(2);
            deliverText();
            if (OnComment)
                OnComment(*this, m_work.view());
            m_work.clear();
            m_state = ParseState::AfterTag;
            ++p;
            return;
        }
        m_work.append(u'>');
        ++p;
    }
}

// "<?" up to "?>".
void TickXMLp::scanProcessingInstruction(const char16_t*& p, const char16_t* end) {
    while (!stopped(p, end)) {
        takeRun(m_work, p, scanTo(p, end, u'>', u'>', u'>'));
        if (stopped(p, end))
            return;
        if (before(p) == u'?') {
            m_work.chop(1);
            deliverText();
            if (OnPI)
                OnPI(*this, m_work.view());
            m_work.clear();
            m_state = ParseState::AfterTag;
            ++p;
            return;
        }
        m_work.append(u'>');
        ++p;
    }
}

// "<!" and what follows: "[" opens a section, "-" perhaps a comment, anything else a declaration
// up to the first ">" outside quotes and brackets.
void TickXMLp::scanDeclaration(const char16_t*& p, const char16_t* end) {
    while (!stopped(p, end)) {
        const char16_t c = *p;
        switch (m_state) {
        case ParseState::AfterLessThanBang:
            if (c == u'[') {
                m_state = ParseState::InSectionName;
                ++p;
                return;
            }
            m_work.append(c);
            if (c == u'-') {
                m_state = ParseState::AfterLessThanBangDash;
                ++p;
                return;
            }
            m_state = ParseState::InDeclaration;
            ++p;
            continue;
        case ParseState::InDeclaration:
            if (c == u'>') {
                m_state = ParseState::AfterTag;
                deliverText();
                if (OnMeta)
                    OnMeta(*this, m_work.view());
                m_work.clear();
                ++p;
                return;
            }
            m_work.append(c);
            if (c == u'[')
                m_state = ParseState::InDeclarationBracketed;
            else if (c == u'"')
                m_state = ParseState::InDeclarationDoubleQuoted;
            else if (c == u'\'')
                m_state = ParseState::InDeclarationSingleQuoted;
            ++p;
            continue;
        case ParseState::InDeclarationSingleQuoted:
        case ParseState::InDeclarationDoubleQuoted:
        case ParseState::InDeclarationBracketed: {
            const char16_t close = m_state == ParseState::InDeclarationSingleQuoted   ? u'\''
                                   : m_state == ParseState::InDeclarationDoubleQuoted ? u'"'
                                                                                      : u']';
            takeRun(m_work, p, scanTo(p, end, close, close, close));
            if (stopped(p, end))
                return;
            m_work.append(close);
            m_state = ParseState::InDeclaration;
            ++p;
            continue;
        }
        default:
            return;
        }
    }
}

// "<![name[" up to "]]>": the name without its blanks; the body collects in the text buffer, which
// the "<!" has emptied.
void TickXMLp::scanSection(const char16_t*& p, const char16_t* end) {
    while (!stopped(p, end)) {
        if (m_state == ParseState::InSectionName) {
            const char16_t c = *p;
            if (c == u'[')
                m_state = ParseState::InSection;
            else if (!isSpace(c))
                m_work.append(c);
            ++p;
            continue;
        }
        takeRun(m_text, p, scanTo(p, end, u'>', u'>', u'>'));
        if (stopped(p, end))
            return;
        if (before(p) == u']' && twoBefore(p) == u']') {
            m_text.chop(2);
            if (OnSpecialSection)
                OnSpecialSection(*this, m_work.view(), m_text.view());
            m_work.clear();
            m_text.clear();
            m_state = ParseState::InText;
            ++p;
            return;
        }
        m_text.append(u'>');
        ++p;
    }
}

} // namespace keywords
