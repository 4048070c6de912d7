// Fakes for the viewer's seams: prompts that record every message instead
// of showing it, and a main window that records what OpenSource hands it.
#pragma once

#include "viewer/datasource/sourcestate.h"
#include "viewer/datasource/sourceview.h"
#include "viewer/prompts.h"

#include <QFile>
#include <QString>
#include <vector>

#include <unistd.h>

namespace viewertest {

class RecordingPrompts : public viewer::Prompts {
 public:
  struct Shown {
    QString text;
    int icon;
  };
  RecordingPrompts() { viewer::setPrompts(this); }
  ~RecordingPrompts() override { viewer::setPrompts(nullptr); }

  int message(const QString& text, Icon icon, int, const QString&) override {
    shown.push_back({text, icon});
    return Ok;
  }
  QString fileDialog(FileDialogRequest& request) override {
    lastRequest = request;
    request.filterIndex = answerIndex;
    request.flags = answerFlags;
    return answerPath;
  }

  std::vector<Shown> shown;
  FileDialogRequest lastRequest;
  QString answerPath;
  int answerIndex = 0;
  int answerFlags = 0;
};

class FakeView : public viewer::SourceView {
 public:
  void OpenDB(std::shared_ptr<dataaccess::Connection> cna, const QString& ext) override {
    ++opened;
    connection = std::move(cna);
    kindText = ext;
  }
  QString dataSourceKind() const override { return kindText; }
  void setCaption(const QString& c) override { caption = c; }

  int opened = 0;
  std::shared_ptr<dataaccess::Connection> connection;
  QString kindText;
  QString caption;
};

// A fresh process-wide state for each test.
inline void resetState() { viewer::state() = viewer::SourceState(); }

// Running as root, permission bits do not stop writes.
inline bool permissionsApply() { return ::geteuid() != 0; }

}  // namespace viewertest
