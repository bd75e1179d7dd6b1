#include "analysis/keywords/ickxmlp.h"

#include <QtTest>

using keywords::EickXMLp;
using keywords::TickXMLp;
using ParseState = keywords::TickXMLp::ParseState;

namespace {

// Records every event as one line, so a whole run can be compared at once.
struct Recorder {
    QStringList events;
    QString entityValue; // null: leave the value as written

    void attach(TickXMLp& p) {
        p.OnBeginElement = [this](TickXMLp& s, QStringView e) {
            events << tag(QStringLiteral("begin:"), s, e);
        };
        p.OnEmptyElement = [this](TickXMLp& s, QStringView e) {
            events << tag(QStringLiteral("empty:"), s, e);
        };
        p.OnEndElement = [this](TickXMLp&, QStringView e) {
            events << QStringLiteral("end:") + e.toString();
        };
        p.OnText = [this](TickXMLp&, QStringView t) {
            events << QStringLiteral("text:") + t.toString();
        };
        p.OnComment = [this](TickXMLp&, QStringView t) {
            events << QStringLiteral("comment:") + t.toString();
        };
        p.OnPI = [this](TickXMLp&, QStringView t) {
            events << QStringLiteral("pi:") + t.toString();
        };
        p.OnMeta = [this](TickXMLp&, QStringView t) {
            events << QStringLiteral("meta:") + t.toString();
        };
        p.OnSpecialSection = [this](TickXMLp&, QStringView id, QStringView t) {
            events << QStringLiteral("section:") + id.toString() + QLatin1Char('|') + t.toString();
        };
        p.OnEvalEntity = [this](TickXMLp&, QStringView name, QString& value) {
            events << QStringLiteral("entity:") + name.toString() + QLatin1Char('=') + value;
            if (!entityValue.isNull())
                value = entityValue;
        };
    }

    static QString tag(const QString& kind, TickXMLp& s, QStringView e) {
        QString line = kind + e.toString();
        if (s.AttributeCount() > 0) {
            QStringList attrs;
            for (int i = 0; i < s.AttributeCount(); ++i)
                attrs << s.AttributeName(i).toString() + QLatin1Char('=') +
                             s.AttributeValue(i).toString();
            line += QLatin1Char('{') + attrs.join(QLatin1Char(';')) + QLatin1Char('}');
        }
        return line;
    }
};

struct Options {
    bool flushOnEOL = true;
    bool preserveWhiteSpace = false;
    QString extraName;
    QString extraSpace;
};

QStringList run(const QString& input, const Options& o, const QString& entityValue, int pieceSize) {
    TickXMLp p;
    p.SetFlushOnEOL(o.flushOnEOL);
    p.SetPreserveWhiteSpace(o.preserveWhiteSpace);
    p.SetExtraNameChars(o.extraName);
    p.SetExtraSpaceChars(o.extraSpace);
    Recorder r;
    r.entityValue = entityValue;
    r.attach(p);
    if (pieceSize <= 0) {
        p.Input(input);
    } else {
        for (qsizetype i = 0; i < input.size(); i += pieceSize)
            p.Input(QStringView(input).mid(i, pieceSize));
    }
    p.Reset(true);
    return r.events;
}

} // namespace

Q_DECLARE_METATYPE(Options)

class TestTickXMLp : public QObject {
    Q_OBJECT
private slots:
    void events_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<Options>("options");
        QTest::addColumn<QString>("entityValue");
        QTest::addColumn<QStringList>("expected");
        const Options def;
        Options generator; // as the keyword generator runs it
        generator.flushOnEOL = false;
        generator.preserveWhiteSpace = true;
        const QString keep; // entity values left as written

        QTest::newRow("lone <") << "a < b" << def << keep << QStringList{"text:a < b"};
        QTest::newRow("a<b> starts a tag")
            << "a<b>c" << def << keep << QStringList{"text:a", "begin:b", "text:c"};
        QTest::newRow("unfinished tag discarded") << "a<b" << def << keep << QStringList{"text:a"};
        QTest::newRow("< at the end is lost") << "a<" << def << keep << QStringList{"text:a"};
        QTest::newRow("inline tags split runs")
            << "un<b>bold</b>ed" << def << keep
            << QStringList{"text:un", "begin:b", "text:bold", "end:b", "text:ed"};
        QTest::newRow("entity replaced by a space")
            << "AT&amp;T" << generator << " "
            << QStringList{"text:AT", "entity:amp=&amp;", "text: T"};
        QTest::newRow("numeric entity name")
            << "&#160;x" << def << keep << QStringList{"entity:#160=&#160;", "text:&#160;x"};
        QTest::newRow("entity without ;")
            << "&copy 2004" << def << keep << QStringList{"entity:copy=&copy", "text:&copy 2004"};
        QTest::newRow("entity ends the run")
            << "a&b;c" << def << "" << QStringList{"text:a", "entity:b=&b;", "text:c"};
        QTest::newRow("entity cut off by the end")
            << "...AT&T" << def << keep << QStringList{"text:...AT"};
        QTest::newRow("> inside a quoted value")
            << "<img alt='a > b'>next" << def << keep
            << QStringList{"begin:img{alt=a > b}", "text:next"};
        QTest::newRow("comment") << "<!-- x -->" << def << keep << QStringList{"comment: x "};
        QTest::newRow("empty comment") << "<!-->" << def << keep << QStringList{"comment:"};
        QTest::newRow("dashes inside a comment")
            << "<!-- a -- b -->" << def << keep << QStringList{"comment: a -- b "};
        QTest::newRow("<!- is a declaration") << "<!-x>" << def << keep << QStringList{"meta:-x"};
        QTest::newRow("end tag with a space")
            << "</b >t" << def << keep << QStringList{"end:b", "text:t"};
        QTest::newRow("end tag without name") << "</>" << def << keep << QStringList{"end:"};
        QTest::newRow("hyphen ends the name")
            << "<my-tag>" << def << keep << QStringList{"begin:my{tag=}"};
        QTest::newRow("CDATA section")
            << "<![CDATA[ x ]]>" << def << keep << QStringList{"section:CDATA| x "};
        QTest::newRow("section identifier with blanks")
            << "<![ INCLUDE [a]b]]>" << def << keep << QStringList{"section:INCLUDE|a]b"};
        QTest::newRow("CDATA cut off") << "<![CDATA[ x " << def << keep << QStringList{"text: x "};
        QTest::newRow("processing instruction")
            << "a<?xml version=\"1.0\"?>b" << def << keep
            << QStringList{"text:a", "pi:xml version=\"1.0\"", "text:b"};
        QTest::newRow("declaration with quotes and brackets")
            << "<!DOCTYPE html PUBLIC \"-//X>Y//EN\" [ <!ENTITY z 'w>'> ]>t" << def << keep
            << QStringList{"meta:DOCTYPE html PUBLIC \"-//X>Y//EN\" [ <!ENTITY z 'w>'> ]",
                           "text:t"};
        QTest::newRow("attributes of every kind")
            << "<a href=\"x&amp;y\" title='q' n=v/>" << def << keep
            << QStringList{"entity:amp=&amp;", "empty:a{href=x&amp;y;title=q;n=v}"};
        QTest::newRow("entity in a value replaced")
            << "<a t=\"A&amp;B\" u='&lt;' v=&gt;>" << def << "+"
            << QStringList{"entity:amp=&amp;", "entity:lt=&lt;", "entity:gt=&gt;",
                           "begin:a{t=A+B;u=+;v=+}"};
        QTest::newRow("valueless attributes")
            << "<a b c=d e>" << def << keep << QStringList{"begin:a{b=;c=d;e=}"};
        QTest::newRow("valueless attribute before />")
            << "<input disabled/>" << def << keep << QStringList{"empty:input{disabled=}"};
        QTest::newRow("empty element")
            << "<br/>x" << def << keep << QStringList{"empty:br", "text:x"};
        QTest::newRow("empty element with a blank")
            << "<br />" << def << keep << QStringList{"empty:br"};
        QTest::newRow("= at the tag's end")
            << "<a b=>" << def << keep << QStringList{"begin:a{b=}"};
        QTest::newRow("unclosed quote runs on")
            << "<a b=\"x>y\">z" << def << keep << QStringList{"begin:a{b=x>y}", "text:z"};

        QTest::newRow("line feeds dropped around tags")
            << "<p>\nA\n</p>\n<br/>\nB<!--c-->\nC<?pi?>\nD<!DOCTYPE x>\nE" << def << keep
            << QStringList{"begin:p",   "text:A", "end:p", "text:\n", "empty:br",       "text:B",
                           "comment:c", "text:C", "pi:pi", "text:D",  "meta:DOCTYPE x", "text:E"};
        Options preserve;
        preserve.preserveWhiteSpace = true;
        preserve.flushOnEOL = false;
        QTest::newRow("line feeds preserved")
            << "<p>\nA\n</p>" << preserve << keep << QStringList{"begin:p", "text:\nA\n", "end:p"};
        Options dropping;
        dropping.flushOnEOL = false;
        QTest::newRow("carriage return stays")
            << "<p>\r\nA" << dropping << keep << QStringList{"begin:p", "text:\r\nA"};
        QTest::newRow("flush on line feed")
            << "one\ntwo<b>" << def << keep << QStringList{"text:one\n", "text:two", "begin:b"};
        QTest::newRow("no flush on line feed")
            << "one\ntwo<b>" << generator << keep << QStringList{"text:one\ntwo", "begin:b"};
        QTest::newRow("line feed before a tag flushed")
            << "a\n<b>" << def << keep << QStringList{"text:a\n", "begin:b"};

        Options names;
        names.extraName = QStringLiteral("-\u00E9");
        QTest::newRow("extra name characters")
            << "<my-tag>&caf\u00E9;" << names << keep
            << QStringList{"begin:my-tag", "entity:caf\u00E9=&caf\u00E9;", "text:&caf\u00E9;"};
        QTest::newRow("bytes above 127 are no name characters")
            << "&caf\u00E9;" << def << keep << QStringList{"entity:caf=&caf", "text:&caf\u00E9;"};
        Options spaces;
        spaces.extraSpace = QStringLiteral("|");
        QTest::newRow("extra space characters")
            << "<a b|=|c>" << spaces << keep << QStringList{"begin:a{b=c}"};
        QTest::newRow("| is no space by default")
            << "<a b|=|c>" << def << keep << QStringList{"begin:a{b|=|c}"};
    }

    // Every case gives the same events fed whole, one character at a time, and in pieces of 3.
    void events() {
        QFETCH(QString, input);
        QFETCH(Options, options);
        QFETCH(QString, entityValue);
        QFETCH(QStringList, expected);
        QCOMPARE(run(input, options, entityValue, 0), expected);
        QCOMPARE(run(input, options, entityValue, 1), expected);
        QCOMPARE(run(input, options, entityValue, 3), expected);
    }

    void unassignedEventsAreSkipped() {
        TickXMLp p;
        QStringList texts;
        p.OnText = [&](TickXMLp&, QStringView t) { texts << t.toString(); };
        p.Input(u"<b a=1>AT&amp;T<!--c--></b><?p?><!D><![X[y]]>");
        p.Reset(true);
        // Without an entity handler the reference stays as written.
        QCOMPARE(texts, QStringList({"AT", "&amp;T"}));
    }

    void nulEndsTheInput() {
        TickXMLp p;
        Recorder r;
        r.attach(p);
        p.Input(QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("<c>"));
        p.Input(u"d");
        p.Reset(true);
        QCOMPARE(r.events, QStringList({"text:abd"}));
    }

    void resetWithoutFlushKeepsTheState() {
        TickXMLp p;
        Recorder r;
        r.attach(p);
        p.Input(u"x<b c='");
        p.Reset(false);
        QCOMPARE(p.State(), ParseState::InAttributeValueSingleQuoted);
        p.Input(u"d'>");
        QCOMPARE(r.events, QStringList({"text:x", "begin:b{c=d}"}));
        p.Input(u"<a b='");
        p.Reset(true);
        QCOMPARE(p.State(), ParseState::InText);
        p.Input(u"y");
        p.Reset(true);
        QCOMPARE(r.events.last(), QStringLiteral("text:y"));
    }

    void atMost64Attributes() {
        QString tag = QStringLiteral("<t");
        for (int i = 0; i < 70; ++i)
            tag += QStringLiteral(" a%1=v%1").arg(i);
        tag += QLatin1Char('>');
        TickXMLp p;
        int count = -1;
        QString last;
        p.OnBeginElement = [&](TickXMLp& s, QStringView) {
            count = s.AttributeCount();
            last = s.AttributeName(s.AttributeCount() - 1).toString() + QLatin1Char('=') +
                   s.AttributeValue(63).toString();
        };
        p.Input(tag);
        QCOMPARE(count, 64);
        QCOMPARE(last, QStringLiteral("a63=v63"));
        // The list is emptied for the next tag.
        p.Input(u"<u A=\"1\">");
        QCOMPARE(count, 1);
        QCOMPARE(p.AttributeCount(), 0);
    }

    void attributeLookup() {
        TickXMLp p;
        QString content, missing = QStringLiteral("x");
        p.OnBeginElement = [&](TickXMLp& s, QStringView) {
            content = s.AttributeValue(u"CONTENT").toString();
            missing = s.AttributeValue(u"other").isNull() ? QString() : QStringLiteral("found");
        };
        p.Input(u"<meta name=keywords content='a, b'>");
        QCOMPARE(content, QStringLiteral("a, b"));
        QVERIFY(missing.isNull());
    }

    void shortRunsStayInTheBuiltInRoom() {
        TickXMLp p;
        int texts = 0;
        p.OnText = [&](TickXMLp&, QStringView) { ++texts; };
        p.Input(QString(99, QLatin1Char('a')));
        QVERIFY(!p.TextBuffer().onHeap());
        p.Input(u"b");
        QVERIFY(p.TextBuffer().onHeap());
        QCOMPARE(p.TextBuffer().capacity(), 2 * (100 + 1) - 1);
        p.Reset(true);
        QCOMPARE(texts, 1);
        QVERIFY(!p.TextBuffer().onHeap());
    }

    void outOfMemory_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<ParseState>("state");
        QTest::newRow("text run") << QString(1500, QLatin1Char('a')) << ParseState::InText;
        QTest::newRow("tag name") << QStringLiteral("<") + QString(1500, QLatin1Char('n'))
                                  << ParseState::InTagName;
        QTest::newRow("unquoted value") << QStringLiteral("<a b=") + QString(1500, QLatin1Char('v'))
                                        << ParseState::InAttributeValueUnquoted;
        QTest::newRow("comment") << QStringLiteral("<!--") + QString(1500, QLatin1Char('c'))
                                 << ParseState::InComment;
        QTest::newRow("entity name")
            << QStringLiteral("&") + QString(1500, QLatin1Char('e')) << ParseState::InTextEntity;
    }

    void outOfMemory() {
        QFETCH(QString, input);
        QFETCH(ParseState, state);
        TickXMLp p;
        p.SetBufferLimit(1000);
        QString delivered;
        p.OnText = [&](TickXMLp&, QStringView t) { delivered += t.toString(); };
        try {
            p.Input(input);
            QFAIL("no error raised");
        } catch (const EickXMLp& e) {
            QCOMPARE(e.code(), 200);
            QCOMPARE(e.message(), QStringLiteral("Out of memory."));
        }
        QCOMPARE(p.State(), state);
        p.Reset(true);
        if (state == ParseState::InText)
            QCOMPARE(delivered,
                     QString(1000, QLatin1Char('a'))); // the characters up to the failing one
        // The parser works on after a reset.
        delivered.clear();
        p.Input(u"ok<b>");
        QCOMPARE(delivered, QStringLiteral("ok"));
    }

    void handlersMayNotFeedTheParser() {
        TickXMLp p;
        p.OnText = [](TickXMLp& s, QStringView) { s.Input(u"x"); };
        QVERIFY_THROWS_EXCEPTION(EickXMLp, [&] { p.Input(u"a<b>"); }());
        p.OnText = nullptr;
        p.Input(u"c<d>"); // usable again
    }

    void ownedByItsWindow() {
        auto* owner = new QObject;
        QPointer<TickXMLp> p = new TickXMLp(owner);
        delete owner;
        QVERIFY(p.isNull());
    }
};

QTEST_GUILESS_MAIN(TestTickXMLp)
#include "tst_ickxmlp.moc"
