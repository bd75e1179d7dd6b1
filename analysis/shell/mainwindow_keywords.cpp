// The main window's keyword tools: the keyword builder (the generator window tied to the page's
// keywords meta tag) and the body check tester.
#include "checktexts.h"
#include "mainwindow.h"

#include "analysis/engine/commatext.h"
#include "analysis/engine/numbers.h"
#include "analysis/engine/workfiles.h"
#include "analysis/keywords/bodychecktester.h"
#include "analysis/keywords/keywordgenerator.h"
#include "analysis/keywords/stringhelpers.h"
#include "platform/dialogs.h"
#include "platform/textfile.h"
#include "platform/waitcursor.h"
#include "webhost/host.h"

#include <QComboBox>
#include <QDir>
#include <QSet>

#include <memory>

namespace quillmark {

namespace {

const QString kBuilderLoadError =
    QStringLiteral("Error Loading FrontPage for Keyword Tag Generator");
const QString kNoExplorer = QStringLiteral("No Explorer object");
const QString kKeywordsTag = QStringLiteral("keywords");

// The queued words that the old content does not hold already (as an item, case aside), in the
// order they were queued.
QStringList newKeywords(const QStringList& wordList, const QStringList& added) {
    QSet<QString> present;
    for (const QString& w : wordList)
        present.insert(keywords::foldKey(w));
    QStringList fresh;
    for (const QString& w : added)
        if (!present.contains(keywords::foldKey(w)))
            fresh.append(w);
    return fresh;
}

// New queued words go in front of the old content, in the order they were queued, each followed
// by a comma.
QString mergeKeywords(const QString& content, const QStringList& wordList,
                      const QStringList& added) {
    QString merged;
    for (const QString& w : newKeywords(wordList, added))
        merged += w + QLatin1Char(',');
    return merged + content;
}

} // namespace

void MainWindow::buildKeyWdsVal() {
    std::unique_ptr<webhost::Editor> editor = m_services.host->createEditor();
    QString address = editor->vtiGetTopPageURL();
    m_page.keywordsContent = editor->vtiGetMetaTag(address, QString(), kKeywordsTag, 0, 0);
}

void MainWindow::openKeywordBuilder() {
    const QString workingFile = m_services.folders.cacheFile(engine::kWorkingFile);
    platform::WaitCursor cursor;
    std::unique_ptr<webhost::Editor> editor;
    QString address;
    try {
        editor = m_services.host->createEditor();
        address = editor->vtiGetTopPageURL();
        if (!m_explorer)
            throw webhost::HostError(kNoExplorer);
        m_explorer->vtiGetDocToFile(address, workingFile);
    } catch (const std::exception&) {
        cursor.restore();
        m_services.dialogs->error(kBuilderLoadError);
        return;
    }
    cursor.restore();

    // The window and the word list are freed on every way out.
    QStringList wordList;
    auto window = std::make_unique<KeywordGenerator>(
        *m_services.dialogs, *m_services.help, m_services.registryPath, m_services.folders, this);
    window->PageName = address;
    window->BodyLimit = engine::wholeNumber(QStringLiteral("bodychk"), m_rules.bodychk);
    m_noiseWords =
        platform::readLines(m_services.folders.listToRead(KeywordGenerator::kNoiseFileName));
    if (!m_noiseWords.isEmpty())
        window->NoiseWords = m_noiseWords;
    window->GenerateList(workingFile);
    window->exec();

    if (!window->AddedKeywords.isEmpty() && openSiteHost()) {
        // A site's pages cannot be written: the user is told which words to add by hand.
        QStringList words = window->AddedKeywords;
        try {
            buildKeyWdsVal();
            words = newKeywords(engine::splitCommaText(m_page.keywordsContent), words);
        } catch (const webhost::HostError&) {
            // The page's tag cannot be read again: every word queued is named.
        }
        if (!words.isEmpty())
            keywordsNotWritten(address, words);
    } else if (!window->AddedKeywords.isEmpty()) {
        buildKeyWdsVal();
        wordList = engine::splitCommaText(m_page.keywordsContent);
        m_page.keywordsContent =
            mergeKeywords(m_page.keywordsContent, wordList, window->AddedKeywords);
        const QString current = editor->vtiGetMetaTag(address, QString(), kKeywordsTag, 0, 0);
        if (current.isEmpty()) {
            editor->vtiSetMetaTag(address, QString(), kKeywordsTag, m_page.keywordsContent, -1, 0);
        } else {
            editor->vtiGetMetaTag(address, QString(), kKeywordsTag, 0, 0);
            editor->vtiSetMetaTag(address, QString(), kKeywordsTag, m_page.keywordsContent, 0, 0);
        }
    }
    editor.reset();
    // The noise words as the window left them stay with the main window.
    if (!window->NoiseWords.isEmpty())
        m_noiseWords = window->NoiseWords;
}

void MainWindow::showBodyCheckTester() {
    platform::WaitCursor cursor;
    QString address;
    try {
        if (!m_editor)
            throw webhost::HostError(QStringLiteral("No Editor object"));
        address = m_editor->vtiGetTopPageURL();
    } catch (const std::exception&) {
        cursor.restore();
        m_services.dialogs->error(checktexts::kError3002);
        return;
    }
    m_bodyCheckTester->countBox->setEditText(m_rules.bodychk);
    const QString workingFile = m_services.folders.cacheFile(engine::kWorkingFile);
    try {
        if (!m_explorer)
            throw webhost::HostError(kNoExplorer);
        m_explorer->vtiGetDocToFile(address, workingFile);
    } catch (const std::exception& e) {
        cursor.restore();
        m_services.dialogs->error(fetchFailure(e));
        return;
    }
    cursor.restore();
    m_bodyCheckTester->setServices(*m_services.dialogs, *m_services.help, workingFile, m_helpFile);
    m_bodyCheckTester->exec();
}

} // namespace quillmark
