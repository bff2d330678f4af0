#include "platform/QtTexts.h"

#include "StringTable.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace djvp {

namespace {

// The translation in use; it belongs to the application object, so it goes
// with it.
QPointer<QTranslator>& Installed() {
  static QPointer<QTranslator> installed;
  return installed;
}

void Remove() {
  if (QTranslator* t = Installed().data()) {
    QCoreApplication::removeTranslator(t);
    delete t;
  }
  Installed() = nullptr;
}

}  // namespace

bool FollowInterfaceLanguage() {
  QCoreApplication* app = QCoreApplication::instance();
  if (LangOffset != 1000) {
    Remove();
    return true;
  }
  if (Installed()) return true;
  if (!app) return false;
  auto* translator = new QTranslator(app);
  // "qtbase" holds the widgets' and dialogs' texts.
  if (!translator->load(QLocale(QLocale::Dutch), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  Installed() = translator;
  return true;
}

}  // namespace djvp
