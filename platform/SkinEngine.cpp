#include "platform/SkinEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace djvp {

namespace {

// A skin is a small text file; anything larger is not one.
constexpr qint64 kMaxSkinFileSize = 1 << 20;

// Reads a skin file into its name and the rest of its text; false when the
// file is unreadable or its first line is no name line.
bool ReadSkin(const QString& path, QString& name, QString& body) {
  const QFileInfo info(path);
  if (!info.isFile() || info.size() > kMaxSkinFileSize) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QString text = QString::fromUtf8(file.read(kMaxSkinFileSize + 1));
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  const qsizetype end = text.indexOf(QLatin1Char('\n'));
  QString first = (end < 0 ? text : text.left(end)).trimmed();
  static const QLatin1String kPrefix("name=");
  if (!first.startsWith(kPrefix, Qt::CaseInsensitive)) return false;
  name = first.mid(kPrefix.size()).trimmed();
  if (name.isEmpty()) return false;
  body = end < 0 ? QString() : text.mid(end + 1);
  return true;
}

}  // namespace

SkinEngine::~SkinEngine() = default;

QString SkinEngine::SkinNameOf(const QString& path) {
  QString name, body;
  return ReadSkin(path, name, body) ? name : QString();
}

QString SkinEngine::ResolveStyleSheet(const QString& body, const QString& folder) {
  static const QRegularExpression kUrl(QStringLiteral(R"(url\(\s*(['"]?)([^'")]*)\1\s*\))"));
  QString out;
  qsizetype last = 0;
  auto it = kUrl.globalMatch(body);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    QString ref = m.captured(2).trimmed();
    // Absolute paths and Qt resources stay; everything else is a file beside
    // the skin.
    const bool keep = ref.isEmpty() || ref.startsWith(QLatin1Char('/')) || ref.startsWith(QLatin1Char(':')) ||
                      ref.startsWith(QLatin1String("qrc:"));
    if (!keep) ref = QDir::cleanPath(folder + QLatin1Char('/') + ref);
    out += body.mid(last, m.capturedStart() - last);
    out += QStringLiteral("url(\"") + ref + QStringLiteral("\")");
    last = m.capturedEnd();
  }
  out += body.mid(last);
  return out;
}

bool SkinEngine::LoadSkinFile(const QString& path) {
  QString name, body;
  if (!ReadSkin(path, name, body)) return false;
  const QFileInfo info(path);
  name_ = name;
  path_ = info.absoluteFilePath();
  styleSheet_ = ResolveStyleSheet(body, info.absolutePath());
  return true;
}

void SkinEngine::ApplySkin(QWidget* window) {
  if (window == nullptr) return;
  bool known = false;
  for (const auto& w : windows_) known = known || w == window;
  if (!known) windows_.emplace_back(window);
  window->setStyleSheet(styleSheet_);
}

void SkinEngine::Apply() {
  for (const auto& w : windows_) {
    if (w) w->setStyleSheet(styleSheet_);
  }
}

void SkinEngine::Shutdown() {
  for (const auto& w : windows_) {
    if (w) w->setStyleSheet(QString());
  }
  windows_.clear();
  name_.clear();
  path_.clear();
  styleSheet_.clear();
}

}  // namespace djvp
