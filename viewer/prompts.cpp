#include "prompts.h"

#include <QRegularExpression>
#include <cstdio>

namespace viewer {

Prompts::~Prompts() = default;

namespace {

// Used until the program installs its own: nothing can block on a window.
class StderrPrompts : public Prompts {
 public:
  int message(const QString& text, Icon, int buttons, const QString&) override {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    const int set = buttons & 0xF;
    const bool second = buttons & DefaultButton2;
    if (set == YesNo || set == YesNoCancel) return second ? No : Yes;
    if (set == OkCancel) return second ? Cancel : Ok;
    return Ok;
  }
  QString fileDialog(FileDialogRequest&) override { return {}; }
};

StderrPrompts defaultPrompts;
Prompts* current = nullptr;

}  // namespace

Prompts& prompts() { return current ? *current : defaultPrompts; }

void setPrompts(Prompts* p) { current = p; }

QStringList qtFileFilters(const QString& pipeFilter) {
  QStringList result;
  const QStringList parts = pipeFilter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    result << QStringLiteral("%1 (%2)").arg(parts[i], patterns.simplified());
  }
  return result;
}

}  // namespace viewer
