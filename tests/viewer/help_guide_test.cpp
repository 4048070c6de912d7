// The user guide as built beside the program: it names every toolbar
// command and every lumbrook-cli command, and every link and picture in it
// resolves (files beside it, anchors inside it).
#include "mainwindow/toolbarentries.h"
#include "shell/help.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTextDocumentFragment>
#include <gtest/gtest.h>

using namespace viewer;

namespace {

QString guidePath() { return FindHelpFile(QStringLiteral(LUMBROOK_PROGRAM_DIR)); }

QString guideHtml() {
  QFile f(guidePath());
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

// The guide as a reader sees it: tags gone, entities decoded, blanks
// folded.
QString guideText() {
  return QTextDocumentFragment::fromHtml(guideHtml()).toPlainText().simplified();
}

QSet<QString> anchorsOf(const QString& html) {
  QSet<QString> ids;
  static const QRegularExpression id(QStringLiteral(R"re(\b(?:id|name)\s*=\s*"([^"]+)")re"));
  for (const auto& m : id.globalMatch(html)) ids.insert(m.captured(1));
  return ids;
}

// The command names of lumbrook-cli, read from its own usage text.
QStringList cliCommands() {
  QProcess cli;
  cli.start(QStringLiteral(LUMBROOK_CLI_PATH), {});
  if (!cli.waitForFinished(30000)) return {};
  const QString usage = QString::fromLocal8Bit(cli.readAllStandardError());
  QStringList names;
  static const QRegularExpression line(QStringLiteral(R"(^  ([a-z]+)(?: |$))"), QRegularExpression::MultilineOption);
  for (const auto& m : line.globalMatch(usage)) names << m.captured(1);
  return names;
}

}  // namespace

TEST(HelpGuide, IsCopiedBesideTheProgram) {
  const QString path = guidePath();
  ASSERT_FALSE(path.isEmpty()) << "no Help/Lumbrook.html beside " << LUMBROOK_PROGRAM_DIR;
  EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(QStringLiteral(LUMBROOK_PROGRAM_DIR)).filePath("Help"));
  EXPECT_GT(QFileInfo(path).size(), 10000) << "the guide is a real guide, not a stub";
}

TEST(HelpGuide, NamesEveryToolbarCommand) {
  const QString text = guideText();
  ASSERT_FALSE(text.isEmpty());
  int named = 0;
  for (const ToolbarEntry& e : ToolbarEntries()) {
    if (e.style == ToolbarEntry::Separator) continue;
    const QString name = e.style == ToolbarEntry::Placeholder ? e.caption : e.toolTip;
    EXPECT_TRUE(text.contains(QLatin1Char('"') + name + QLatin1Char('"'))) << name.toStdString();
    ++named;
  }
  EXPECT_EQ(named, 15);
  for (const MenuEntry& m : ExportMenuEntries()) EXPECT_TRUE(text.contains(m.text)) << m.text.toStdString();
}

TEST(HelpGuide, NamesEveryCliCommand) {
  const QStringList commands = cliCommands();
  ASSERT_GE(commands.size(), 9) << "lumbrook-cli printed no usage";
  const QString text = guideText();
  for (const QString& c : commands)
    EXPECT_TRUE(text.contains(QStringLiteral("lumbrook-cli ") + c + QLatin1Char(' '))) << c.toStdString();
}

TEST(HelpGuide, EveryLinkAndPictureResolves) {
  const QString html = guideHtml();
  ASSERT_FALSE(html.isEmpty());
  const QDir folder = QFileInfo(guidePath()).absoluteDir();
  const QSet<QString> anchors = anchorsOf(html);
  static const QRegularExpression ref(QStringLiteral(R"re(\b(href|src)\s*=\s*"([^"]*)")re"));
  int local = 0, pictures = 0;
  for (const auto& m : ref.globalMatch(html)) {
    const QString target = m.captured(2);
    const std::string shown = target.toStdString();
    ASSERT_FALSE(target.isEmpty()) << "empty " << m.captured(1).toStdString();
    if (target.startsWith("https://") || target.startsWith("mailto:")) continue;
    EXPECT_FALSE(target.startsWith("http:")) << shown;
    EXPECT_FALSE(target.startsWith('/')) << shown << ": absolute paths break once installed";
    const qsizetype hash = target.indexOf('#');
    const QString file = hash < 0 ? target : target.left(hash);
    const QString fragment = hash < 0 ? QString() : target.mid(hash + 1);
    if (!file.isEmpty()) {
      const QFileInfo info(folder.filePath(file));
      EXPECT_TRUE(info.isFile() && info.size() > 0) << shown;
      ++local;
      if (m.captured(1) == "src") ++pictures;
    }
    if (!fragment.isEmpty() && file.isEmpty()) {
      EXPECT_TRUE(anchors.contains(fragment)) << shown;
    }
  }
  EXPECT_GE(pictures, 3);
  EXPECT_GE(local, pictures);
}
