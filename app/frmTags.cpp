#include "app/frmTags.h"

#include "app/Binding.h"

#include <QComboBox>
#include <QFrame>
#include <QPainter>
#include <QStyleOptionButton>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTabBar>

#include <algorithm>
#include <climits>

namespace djvp {

namespace {

using tageditor::TagEditorState;

// Twips of the window's design per screen pixel.
constexpr int kTwips = 15;
constexpr int Px(int twips) { return twips / kTwips; }
QRect Twips(int left, int top, int width, int height) { return {Px(left), Px(top), Px(width), Px(height)}; }

// The window's caption: the same in every language.
const char* const kCaption = "                   dj VORLAN Tag Editor";

QFont DesignFont(bool bold) {
  QFont f(QStringLiteral("Verdana"));
  f.setPointSizeF(8.25);
  f.setBold(bold);
  return f;
}

// Boxes of several lines and their height in twips; the Vorbis comment and
// the WMA comment stand where their rows do not put them.
struct TallBox {
  const char* name;
  int top;  // 0: the row's own top
  int height;
};
constexpr TallBox kTallBoxes[] = {
    {"Text12", 0, 3210}, {"Text25", 6150, 630}, {"Text64", 0, 2535}, {"Text61", 3555, 2475}};

const TallBox* TallBoxOf(const std::string& name) {
  for (const TallBox& t : kTallBoxes)
    if (name == t.name) return &t;
  return nullptr;
}

// A multi-line box without scroll bars that shows whole lines only: the text
// starts one pixel inside the frame, and what is left below the last whole
// line stays empty instead of showing the top of a line cut through.
class WholeLinesEdit : public QPlainTextEdit {
 public:
  explicit WholeLinesEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(1);
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QPlainTextEdit::resizeEvent(e);
    FitLines();
  }
  void changeEvent(QEvent* e) override {
    QPlainTextEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) FitLines();
  }

 private:
  void FitLines() {
    const int line = std::max(1, fontMetrics().lineSpacing());
    const int margin = static_cast<int>(document()->documentMargin());
    const int inner = contentsRect().height();
    const int whole = std::max(1, (inner - margin) / line);
    const int rest = std::max(0, inner - margin - whole * line);
    if (viewportMargins().bottom() != rest) setViewportMargins(0, 0, 0, rest);
  }
};

}  // namespace

QFont WrappingButton::TextFont() const {
  // From the designed font down to 7 points, the first size at which the
  // text, broken between words, fits the button.
  QFont f = font();
  const QRect room = rect().adjusted(4, 2, -4, -2);
  for (double size = f.pointSizeF(); size >= 7.0; size -= 0.5) {
    f.setPointSizeF(size);
    const QRect needed = QFontMetrics(f).boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, text());
    if (room.contains(needed)) return f;
  }
  f.setPointSizeF(7.0);
  return f;
}

void WrappingButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  style()->drawControl(QStyle::CE_PushButton, &option, &p, this);
  p.setFont(TextFont());
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  p.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap, text());
}

frmTags::frmTags(TagEditorState& editor, QWidget* parent) : QDialog(parent), ed_(editor) {
  setObjectName(QStringLiteral("frmTags"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setFixedSize(Px(7500), Px(7635));
  BuildWindow();
  BindControls();
  ed_.Unload = [this] { done(0); };
  Form_Resize();
}

frmTags::~frmTags() {
  // The state outlives the window: its controls forget the widgets.
  ed_.Unload = {};
  ed_.TabStrip1.SetView({});
  for (ui::Caption& c : ed_.Frame1) c.SetView({});
  ed_.Frame2.SetView({});
  for (ui::Caption& c : ed_.SCLabel1) c.SetView({});
  for (ui::Button& c : ed_.SSCommand) c.SetView({});
  for (const tageditor::FieldRow& row : tageditor::FieldRows()) ed_.Box(row).SetView({});
  for (const tageditor::ListPage& page : tageditor::ListPages()) {
    (ed_.*page.list).SetView({});
    for (auto field : page.fields) (ed_.*field).SetView({});
  }
  ed_.img.SetView({});
}

void frmTags::BuildWindow() {
  setFont(DesignFont(false));

  // The tab strip: its row of tabs over the frame that holds the pages.
  view.TabBody = new QFrame(this);
  view.TabBody->setObjectName(QStringLiteral("TabStrip1Body"));
  view.TabBody->setFrameShape(QFrame::StyledPanel);
  view.TabBody->setGeometry(Px(120), 27, Px(7275), Px(120) + Px(6540) - 27);
  view.TabStrip1 = new QTabBar(this);
  view.TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
  view.TabStrip1->setGeometry(Px(120), 3, Px(7275), 25);
  view.TabStrip1->setExpanding(false);
  view.TabStrip1->setDrawBase(false);
  // Six tabs share the strip's width: narrow padding, whatever the skin's.
  view.TabStrip1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 4px; margin-right: 0px; }"));

  // The pages, all at their places; Form_Resize moves them.
  for (int i = 0; i < tageditor::kPages; ++i) {
    auto* page = new QFrame(this);
    page->setObjectName(QStringLiteral("Frame1_%1").arg(i));
    page->setFrameShape(QFrame::NoFrame);
    const bool wide = i >= tageditor::kVorbisPage;  // pages 7 to 11 are wider
    page->resize(Px(wide ? 7320 : 7200), Px(i == tageditor::kVorbisPage ? 6840 : 6150));
    view.Frame1[static_cast<size_t>(i)] = page;
  }
  BuildFieldPages();
  BuildListPage(tageditor::kCommentsPage);
  BuildListPage(tageditor::kLyricsPage);
  BuildListPage(tageditor::kUserFramesPage);
  BuildUrlGroup();
  BuildCoverPage();

  // The bottom row: Cancel, Delete this Tag, Save this Tag.
  MakeButton(tageditor::kCancel, this, Twips(135, 6840, 1560, 600));
  MakeButton(tageditor::kDeleteTag, this, Twips(3960, 6840, 1560, 600));
  MakeButton(tageditor::kSaveTag, this, Twips(5850, 6840, 1560, 600));
}

void frmTags::MakeButton(int index, QWidget* parent, const QRect& r) {
  auto* b = new WrappingButton(parent);
  b->setObjectName(QStringLiteral("SSCommand%1").arg(index));
  b->setGeometry(r);
  b->setFont(DesignFont(true));
  view.SSCommand[static_cast<size_t>(index)] = b;
}

void frmTags::MakeLabel(int index, QWidget* parent, const QRect& r) {
  auto* l = new QLabel(parent);
  l->setObjectName(QStringLiteral("SCLabel1_%1").arg(index));
  l->setGeometry(r);
  view.SCLabel1[static_cast<size_t>(index)] = l;
}

void frmTags::MakeLine(const char* name, QWidget* parent, const QRect& r) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  // A tag's field may be longer than a line edit takes by default.
  e->setMaxLength(INT_MAX);
  e->setGeometry(r);
  view.boxes[name] = e;
}

void frmTags::BuildFieldPages() {
  std::array<int, tageditor::kPages> rowOfPage{};
  for (const tageditor::FieldRow& row : tageditor::FieldRows()) {
    QFrame* page = view.Frame1[static_cast<size_t>(row.page)];
    const int k = rowOfPage[static_cast<size_t>(row.page)]++;
    const std::string name = row.box;
    QRect box, label;
    if (row.page == tageditor::kUrlPage) {
      box = Twips(2655, 270 + 450 * k, 4440, 330);
      label = Twips(120, 270 + 450 * k + 60, 2505, 210);
    } else {
      box = Twips(1695, 180 + 375 * k, 5400, 285);
      if (const TallBox* tall = TallBoxOf(name)) {
        if (tall->top) box.moveTop(Px(tall->top));
        box.setHeight(Px(tall->height));
      }
      label = QRect(Px(k == 0 ? 45 : 75), box.top() + 3, Px(1605), Px(210));
    }
    if (TallBoxOf(name)) {
      auto* text = new WholeLinesEdit(page);
      text->setObjectName(QString::fromLatin1(row.box));
      text->setGeometry(box);
      view.boxes[name] = text;
    } else {
      MakeLine(row.box, page, box);
    }
    MakeLabel(row.label, page, label);
  }
}

void frmTags::BuildListPage(int pageIndex) {
  QFrame* page = view.Frame1[static_cast<size_t>(pageIndex)];
  const tageditor::ListKind kind = pageIndex == tageditor::kCommentsPage ? tageditor::kComments
                                   : pageIndex == tageditor::kLyricsPage ? tageditor::kLyrics
                                                                        : tageditor::kUserFrames;
  const tageditor::ListPage& list = tageditor::ListPages()[static_cast<size_t>(kind)];
  // Labels: ID, Language, Description (not on the user-frame page), the text.
  struct Labels {
    int id, language, description, text;
  };
  const Labels labels = pageIndex == tageditor::kCommentsPage ? Labels{16, 17, 18, 19}
                        : pageIndex == tageditor::kLyricsPage ? Labels{32, 33, 34, 35}
                                                             : Labels{40, 41, -1, 43};
  auto label = [&](int index, const QRect& r) { MakeLabel(index, page, r); };
  auto line = [&](const char* name, const QRect& r) { MakeLine(name, page, r); };

  auto* combo = new QComboBox(page);
  combo->setGeometry(Twips(120, 345, 1005, 315));
  label(labels.id, Twips(120, 120, 1005, 210));
  label(labels.language, Twips(1245, 120, 1200, 210));
  const char* names[3][4] = {{"cboCommentsID", "txtCommentsLanguage", "txtCommentsDescription", "txtCommentComments"},
                             {"cboIDSong", "txtLanguageSong", "txtDescriptionSong", "txtSong"},
                             {"cboIDFrame", "txtLanguageFrame", nullptr, "txtTextFrame"}};
  const int n = pageIndex == tageditor::kCommentsPage ? 0 : pageIndex == tageditor::kLyricsPage ? 1 : 2;
  combo->setObjectName(QString::fromLatin1(names[n][0]));
  line(names[n][1], Twips(1245, 345, 1200, 315));
  if (labels.description >= 0) {
    label(labels.description, Twips(2565, 120, 4230, 210));
    line(names[n][2], Twips(2565, 345, 4230, 315));
  }
  label(labels.text, Twips(120, 825, 6675, 210));
  auto* text = new QPlainTextEdit(page);
  text->setObjectName(QString::fromLatin1(names[n][3]));
  text->setGeometry(Twips(120, 1065, 6675, 2145));
  text->setLineWrapMode(QPlainTextEdit::NoWrap);  // both scroll bars, as needed
  view.boxes[names[n][3]] = text;

  const int top = pageIndex == tageditor::kLyricsPage ? 5370 : 5340;
  MakeButton(list.saveButton, page, Twips(120, top, 1560, 600));
  MakeButton(list.deleteButton, page, Twips(2700, top, 1560, 600));
  MakeButton(list.deleteAllButton, page, Twips(5235, top, 1560, 600));
  (n == 0 ? view.cboCommentsID : n == 1 ? view.cboIDSong : view.cboIDFrame) = combo;
}

void frmTags::BuildUrlGroup() {
  QFrame* page = view.Frame1[tageditor::kUrlPage];
  view.Frame2 = new QFrame(page);
  view.Frame2->setObjectName(QStringLiteral("Frame2"));
  view.Frame2->setFrameShape(QFrame::StyledPanel);
  view.Frame2->setGeometry(Twips(75, 3810, 7050, 2265));
  QFrame* f = view.Frame2;
  auto label = [&](int index, const QRect& r) { MakeLabel(index, f, r); };
  label(28, Twips(120, 60, 4500, 210));
  label(30, Twips(120, 330, 1005, 210));
  label(29, Twips(1245, 330, 4500, 210));
  label(31, Twips(120, 1005, 1005, 210));
  QFont heading = DesignFont(true);
  view.SCLabel1[28]->setFont(heading);
  view.cboIDurl = new QComboBox(f);
  view.cboIDurl->setObjectName(QStringLiteral("cboIDurl"));
  view.cboIDurl->setGeometry(Twips(120, 555, 1005, 315));
  MakeLine("txtDescriptionURL", f, Twips(1245, 555, 5685, 315));
  MakeLine("txtUserURL", f, Twips(1245, 975, 5685, 315));
  MakeButton(tageditor::kSaveUrl, f, Twips(120, 1500, 1560, 600));
  MakeButton(tageditor::kDeleteUrl, f, Twips(2745, 1500, 1560, 600));
  MakeButton(tageditor::kDeleteAllUrls, f, Twips(5370, 1500, 1560, 600));
}

void frmTags::BuildCoverPage() {
  QFrame* page = view.Frame1[tageditor::kCoverPage];
  view.img = new QLabel(page);
  view.img->setObjectName(QStringLiteral("img"));
  view.img->setGeometry(Twips(330, 705, 4755, 4755));
  view.img->setFrameShape(QFrame::Box);
  view.img->setAlignment(Qt::AlignCenter);
  MakeButton(tageditor::kLoadImage, page, Twips(5250, 2400, 1620, 540));
  MakeButton(tageditor::kDeleteImage, page, Twips(5265, 3090, 1620, 540));
}

void frmTags::BindControls() {
  using bind::Fit;
  bind::Tabs(ed_.TabStrip1, view.TabStrip1, view.TabBody);
  for (size_t i = 0; i < view.Frame1.size(); ++i) bind::Frame(ed_.Frame1[i], view.Frame1[i]);
  bind::Frame(ed_.Frame2, view.Frame2);
  for (size_t i = 0; i < view.SCLabel1.size(); ++i)
    if (view.SCLabel1[i]) bind::Label(ed_.SCLabel1[i], view.SCLabel1[i], Fit::Width);
  for (size_t i = 0; i < view.SSCommand.size(); ++i)
    if (view.SSCommand[i]) bind::Button(ed_.SSCommand[i], view.SSCommand[i]);

  auto text = [this](ui::TextBox& c, const std::string& name) {
    QWidget* w = view.boxes.at(name);
    if (auto* line = qobject_cast<QLineEdit*>(w))
      bind::Text(c, line);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
      bind::Text(c, plain, false);
  };
  for (const tageditor::FieldRow& row : tageditor::FieldRows()) text(ed_.Box(row), row.box);
  const std::pair<ui::TextBox TagEditorState::*, const char*> listFields[] = {
      {&TagEditorState::txtCommentsLanguage, "txtCommentsLanguage"},
      {&TagEditorState::txtCommentsDescription, "txtCommentsDescription"},
      {&TagEditorState::txtCommentComments, "txtCommentComments"},
      {&TagEditorState::txtDescriptionURL, "txtDescriptionURL"},
      {&TagEditorState::txtUserURL, "txtUserURL"},
      {&TagEditorState::txtLanguageSong, "txtLanguageSong"},
      {&TagEditorState::txtDescriptionSong, "txtDescriptionSong"},
      {&TagEditorState::txtSong, "txtSong"},
      {&TagEditorState::txtLanguageFrame, "txtLanguageFrame"},
      {&TagEditorState::txtTextFrame, "txtTextFrame"}};
  for (const auto& [field, name] : listFields) text(ed_.*field, name);
  bind::EditableList(ed_.cboCommentsID, view.cboCommentsID);
  bind::EditableList(ed_.cboIDurl, view.cboIDurl);
  bind::EditableList(ed_.cboIDSong, view.cboIDSong);
  bind::EditableList(ed_.cboIDFrame, view.cboIDFrame);

  // The cover: the picture file the control names, fitted into the box.
  QLabel* img = view.img;
  auto showPicture = [this, img] {
    const QPixmap picture(ed_.img.key());
    img->setPixmap(picture.isNull() ? QPixmap()
                                    : picture.scaled(img->contentsRect().size(), Qt::KeepAspectRatio,
                                                     Qt::SmoothTransformation));
    img->setVisible(ed_.img.isVisible());
  };
  ed_.img.SetView(showPicture);
  showPicture();
}

void frmTags::Form_Resize() {
  for (int i = 0; i < tageditor::kPages; ++i) {
    const bool overStrip = i == tageditor::kId3v1Page || i == tageditor::kVorbisPage || i == tageditor::kSparePage;
    view.Frame1[static_cast<size_t>(i)]->move(overStrip ? QPoint(Px(105), Px(-60)) : QPoint(Px(135), Px(420)));
  }
}

void frmTags::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  Form_Resize();
}

}  // namespace djvp
