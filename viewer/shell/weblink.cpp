#include "weblink.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace viewer {

void OpenWebLink(QWidget*, const QString& address) {
  QUrl url;
  if (QDir::isAbsolutePath(address)) {
    if (!QFileInfo(address).isFile()) return;
    url = QUrl::fromLocalFile(address);
  } else {
    url = QUrl(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return;
  }
  OpenUrl(url);
}

void SetTopmost(QWidget* window) {
  if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return;
  const bool visible = window->isVisible();
  window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (visible) window->show();
}

}  // namespace viewer
