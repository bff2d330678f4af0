#include "platform/Grid.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <numeric>

namespace djvp {

// ---------------------------------------------------------------------------
// Sort order

int32_t GridSortSpec::EntryOf(int32_t column) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].column == column) return static_cast<int32_t>(i) + 1;
  }
  return 0;
}

bool GridSortSpec::SetColumn(int32_t entry, int32_t column) {
  if (entry == Count() + 1) {
    entries_.push_back(Entry{column, kAscending, GridSortKind::Text});
    return true;
  }
  if (!Valid(entry)) return false;
  entries_[static_cast<size_t>(entry - 1)].column = column;
  return true;
}

bool GridSortSpec::SetOrder(int32_t entry, int32_t order) {
  if (!Valid(entry) || (order != kAscending && order != kDescending)) return false;
  entries_[static_cast<size_t>(entry - 1)].order = order;
  return true;
}

bool GridSortSpec::SetKind(int32_t entry, GridSortKind kind) {
  if (!Valid(entry) || (kind != GridSortKind::Text && kind != GridSortKind::Number)) return false;
  entries_[static_cast<size_t>(entry - 1)].kind = kind;
  return true;
}

int32_t GridSortSpec::Column(int32_t entry) const { return Valid(entry) ? entries_[static_cast<size_t>(entry - 1)].column : 0; }
int32_t GridSortSpec::Order(int32_t entry) const { return Valid(entry) ? entries_[static_cast<size_t>(entry - 1)].order : 0; }
GridSortKind GridSortSpec::Kind(int32_t entry) const {
  return Valid(entry) ? entries_[static_cast<size_t>(entry - 1)].kind : GridSortKind::Text;
}

// ---------------------------------------------------------------------------
// Text comparison for sorting and finding

namespace {

bool IsAscii(QStringView s) {
  for (QChar c : s) {
    if (c.unicode() >= 0x80) return false;
  }
  return true;
}

// Case and accents folded away: "Étienne" and "ETIENNE" give the same key.
QString Fold(QStringView s) {
  if (IsAscii(s)) return s.toString().toLower();
  const QString decomposed = s.toString().normalized(QString::NormalizationForm_KD);
  QString out;
  out.reserve(decomposed.size());
  for (QChar c : decomposed) {
    const auto cat = c.category();
    if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_Enclosing || cat == QChar::Mark_SpacingCombining) continue;
    out += c;
  }
  return out.toCaseFolded();
}

bool IsDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

bool FractionAt(QStringView s, qsizetype i) {
  return i + 1 < s.size() && (s[i] == u'.' || s[i] == u',') && IsDigit(s[i + 1]);
}

// Compares folded texts; digit runs (with a fraction after "." or ",")
// compare by value.
int NaturalCompare(QStringView a, QStringView b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      qsizetype si = i, sj = j;
      while (si < a.size() && a[si] == u'0') ++si;
      while (sj < b.size() && b[sj] == u'0') ++sj;
      qsizetype ei = si, ej = sj;
      while (ei < a.size() && IsDigit(a[ei])) ++ei;
      while (ej < b.size() && IsDigit(b[ej])) ++ej;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      for (qsizetype k = 0; k < ei - si; ++k) {
        if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
      }
      i = ei;
      j = ej;
      const bool fa = FractionAt(a, i), fb = FractionAt(b, j);
      if (fa || fb) {
        if (fa) ++i;
        if (fb) ++j;
        // Digit by digit; a missing digit counts as 0.
        while ((fa && i < a.size() && IsDigit(a[i])) || (fb && j < b.size() && IsDigit(b[j]))) {
          const char16_t da = (fa && i < a.size() && IsDigit(a[i])) ? a[i++].unicode() : u'0';
          const char16_t db = (fb && j < b.size() && IsDigit(b[j])) ? b[j++].unicode() : u'0';
          if (da != db) return da < db ? -1 : 1;
        }
      }
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

// The number a text starts with ("05.20 sec" gives 5.2, "128,5" 128.5).
bool LeadingNumber(QStringView s, double& value) {
  qsizetype i = 0;
  while (i < s.size() && s[i].isSpace()) ++i;
  std::string ascii;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) {
    if (s[i] == u'-') ascii += '-';
    ++i;
  }
  bool digits = false;
  while (i < s.size() && IsDigit(s[i])) { ascii += static_cast<char>(s[i++].unicode()); digits = true; }
  if (FractionAt(s, i)) {
    ascii += '.';
    ++i;
    while (i < s.size() && IsDigit(s[i])) ascii += static_cast<char>(s[i++].unicode());
  }
  if (!digits) return false;
  auto res = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  return res.ec == std::errc();
}

bool CellNumber(const GridCell& cell, double& value) {
  switch (cell.type) {
    case GridCell::Type::Int: value = cell.Int(); return true;
    case GridCell::Type::Single: value = cell.Single(); return !std::isnan(value);
    case GridCell::Type::Text: break;
  }
  return LeadingNumber(cell.text, value);
}

// One entry's sort keys, one per row.
struct SortKeys {
  int32_t column = 0;  // 0-based
  bool descending = false;
  GridSortKind kind = GridSortKind::Text;
  std::vector<QString> text;
  std::vector<double> number;
  std::vector<uint8_t> hasNumber;

  int Compare(size_t x, size_t y) const {
    if (kind == GridSortKind::Number || (hasNumber[x] && hasNumber[y])) {
      if (hasNumber[x] != hasNumber[y]) return hasNumber[x] ? 1 : -1;
      if (hasNumber[x] && number[x] != number[y]) return number[x] < number[y] ? -1 : 1;
      if (kind == GridSortKind::Number) return 0;
    }
    return NaturalCompare(text[x], text[y]);
  }
};

const GridCell kEmptyCell;

}  // namespace

// ---------------------------------------------------------------------------
// Model

struct GridColumn {
  QString key;
  QString header;
  QString mark;
  GridSortKind kind = GridSortKind::Text;
  int width = 0;  // the last width set or dragged, kept while hidden
  bool fitsHeader = false;
};

class GridModel : public QAbstractTableModel {
 public:
  std::vector<GridColumn> columns;
  std::vector<GridRow> rows;
  bool editable = false;
  // Whether the view shows a header narrower than its caption.
  std::function<bool(int section)> headerCut;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
  }

  const GridCell& Cell(int row, int column) const {
    const GridRow& r = rows[static_cast<size_t>(row)];
    return static_cast<size_t>(column) < r.size() ? r[static_cast<size_t>(column)] : kEmptyCell;
  }

  void SetCell(int row, int column, GridCell cell) {
    GridRow& r = rows[static_cast<size_t>(row)];
    if (static_cast<size_t>(column) >= r.size()) {
      if (cell == kEmptyCell) return;
      r.resize(static_cast<size_t>(column) + 1);
    }
    r[static_cast<size_t>(column)] = std::move(cell);
    const QModelIndex idx = index(row, column);
    emit dataChanged(idx, idx, {Qt::DisplayRole, Qt::EditRole});
  }

  QVariant data(const QModelIndex& idx, int role) const override {
    if (!idx.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return QVariant();
    return Cell(idx.row(), idx.column()).DisplayText();
  }

  bool setData(const QModelIndex& idx, const QVariant& value, int role) override {
    if (!idx.isValid() || role != Qt::EditRole) return false;
    SetCell(idx.row(), idx.column(), GridCell::FromText(value.toString()));
    return true;
  }

  Qt::ItemFlags flags(const QModelIndex& idx) const override {
    if (!idx.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable) f |= Qt::ItemIsEditable;
    return f;
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        static_cast<size_t>(section) < columns.size())
      return columns[static_cast<size_t>(section)].header;
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole && section >= 0 &&
        static_cast<size_t>(section) < columns.size() && headerCut && headerCut(section))
      return columns[static_cast<size_t>(section)].header;
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return QVariant();
  }

  void AppendColumn(GridColumn column) {
    const int n = static_cast<int>(columns.size());
    beginInsertColumns(QModelIndex(), n, n);
    columns.push_back(std::move(column));
    endInsertColumns();
  }

  void SetHeader(int column, const QString& text) {
    columns[static_cast<size_t>(column)].header = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
  }

  void AppendRow() {
    const int n = static_cast<int>(rows.size());
    beginInsertRows(QModelIndex(), n, n);
    rows.emplace_back();
    endInsertRows();
  }

  void RemoveRows(int first, int last) {
    beginRemoveRows(QModelIndex(), first, last);
    rows.erase(rows.begin() + first, rows.begin() + last + 1);
    endRemoveRows();
  }

  // Rows go and come through remove and insert (not a model reset), so the
  // header keeps its column widths, order and hidden columns.
  void ReplaceRows(std::vector<GridRow> fresh) {
    if (!rows.empty()) {
      beginRemoveRows(QModelIndex(), 0, static_cast<int>(rows.size()) - 1);
      rows.clear();
      endRemoveRows();
    }
    if (!fresh.empty()) {
      beginInsertRows(QModelIndex(), 0, static_cast<int>(fresh.size()) - 1);
      rows = std::move(fresh);
      endInsertRows();
    }
  }

  // order[k] is the old row that becomes row k; selection and the current
  // cell move with their rows.
  void Reorder(const std::vector<int>& order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<GridRow> sorted;
    sorted.reserve(rows.size());
    std::vector<int> newRow(order.size());
    for (size_t k = 0; k < order.size(); ++k) {
      sorted.push_back(std::move(rows[static_cast<size_t>(order[k])]));
      newRow[static_cast<size_t>(order[k])] = static_cast<int>(k);
    }
    rows = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& idx : from) to.append(index(newRow[static_cast<size_t>(idx.row())], idx.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  }
};

// ---------------------------------------------------------------------------
// View

class GridView : public QTableView {
 public:
  explicit GridView(Grid* owner) : QTableView(owner), owner_(owner) {}

  void keyboardSearch(const QString& search) override {
    if (owner_->SearchColumn() == 0) {
      QTableView::keyboardSearch(search);
      return;
    }
    // Keys typed in quick succession extend the text searched for.
    if (typed_.isValid() && typed_.elapsed() < QApplication::keyboardInputInterval())
      searchText_ += search;
    else
      searchText_ = search;
    typed_.start();
    const int32_t row = owner_->FindRowByText(searchText_);
    if (row > 0) owner_->SetCurrentRow(row);
  }

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
    if (index.isValid() && (trigger == AnyKeyPressed || trigger == EditKeyPressed)) {
      int32_t key = 0;
      if (event && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (trigger == AnyKeyPressed && !text.isEmpty()) key = text.at(0).unicode();
      }
      if (!owner_->AskEdit(index.row() + 1, index.column() + 1, key)) return false;
    }
    return QTableView::edit(index, trigger, event);
  }

  void mousePressEvent(QMouseEvent* event) override {
    QTableView::mousePressEvent(event);
    int button = 0;
    switch (event->button()) {
      case Qt::LeftButton: button = 1; break;
      case Qt::RightButton: button = 2; break;
      case Qt::MiddleButton: button = 4; break;
      default: return;
    }
    const QModelIndex idx = indexAt(event->position().toPoint());
    // In a list of several selected rows a plain click below the last row
    // lets go of them, as file lists do.
    if (!idx.isValid() && button == 1 && event->modifiers() == Qt::NoModifier &&
        selectionMode() == QAbstractItemView::ExtendedSelection)
      selectionModel()->clearSelection();
    emit owner_->MouseButton(button, idx.isValid() ? idx.row() + 1 : 0, idx.isValid() ? idx.column() + 1 : 0,
                             event->globalPosition().toPoint());
  }

 private:
  Grid* owner_;
  QElapsedTimer typed_;
  QString searchText_;
};

// ---------------------------------------------------------------------------
// Grid

Grid::Grid(QWidget* parent) : QWidget(parent), model_(std::make_unique<GridModel>()) {
  view_ = new GridView(this);
  view_->setModel(model_.get());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);

  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectItems);
  view_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
  view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view_->setWordWrap(false);
  view_->setTabKeyNavigation(false);
  QHeaderView* rowsHeader = view_->verticalHeader();
  rowsHeader->hide();
  rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
  rowsHeader->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  QHeaderView* header = view_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSectionsMovable(false);
  header->setHighlightSections(false);

  model_->headerCut = [header](int section) { return header->sectionSize(section) < header->sectionSizeHint(section); };
  header->installEventFilter(this);
  connect(header, &QHeaderView::sectionClicked, this, [this](int logical) { emit ColumnClick(logical + 1); });
  connect(header, &QHeaderView::sectionMoved, this, [this](int, int, int) { emit ColumnsMoved(); });
  connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
    if (size > 0 && logical >= 0 && static_cast<size_t>(logical) < model_->columns.size())
      model_->columns[static_cast<size_t>(logical)].width = size;
  });
  connect(view_, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& idx) { emit DblClick(idx.row() + 1, idx.column() + 1); });
  auto invalidate = [this] { InvalidateSelection(); };
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, invalidate);
  connect(model_.get(), &QAbstractItemModel::rowsInserted, this, invalidate);
  connect(model_.get(), &QAbstractItemModel::rowsRemoved, this, invalidate);
  connect(model_.get(), &QAbstractItemModel::layoutChanged, this, invalidate);
  connect(model_.get(), &QAbstractItemModel::modelReset, this, invalidate);
}

Grid::~Grid() {
  // The view goes before the model it shows.
  view_->horizontalHeader()->removeEventFilter(this);
  delete view_;
  view_ = nullptr;
  model_->headerCut = nullptr;
}

QTableView* Grid::View() const { return view_; }

bool Grid::ValidRow(int32_t row) const { return row >= 1 && row <= RowCount(); }
bool Grid::ValidColumn(int32_t column) const { return column >= 1 && column <= ColumnCount(); }

// --- columns ---------------------------------------------------------------

int32_t Grid::InsertColumn(const QString& key, const QString& header) {
  if (key.isEmpty() || ColumnNumber(key) != 0) return 0;
  GridColumn column;
  column.key = key;
  column.header = header;
  model_->AppendColumn(std::move(column));
  const int32_t number = ColumnCount();
  model_->columns.back().width = view_->horizontalHeader()->sectionSize(number - 1);
  return number;
}

int32_t Grid::ColumnCount() const { return static_cast<int32_t>(model_->columns.size()); }

int32_t Grid::ColumnNumber(const QString& key) const {
  if (key.isEmpty()) return 0;
  for (size_t i = 0; i < model_->columns.size(); ++i) {
    if (model_->columns[i].key.compare(key, Qt::CaseInsensitive) == 0) return static_cast<int32_t>(i) + 1;
  }
  return 0;
}

QString Grid::ColumnKey(int32_t column) const {
  return ValidColumn(column) ? model_->columns[static_cast<size_t>(column - 1)].key : QString();
}

QString Grid::HeaderCaption(int32_t column) const {
  return ValidColumn(column) ? model_->columns[static_cast<size_t>(column - 1)].header : QString();
}

bool Grid::SetHeaderCaption(int32_t column, const QString& text) {
  if (!ValidColumn(column)) return false;
  model_->SetHeader(column - 1, text);
  FitHeader(column);
  return true;
}

bool Grid::SetColumnFitsHeader(int32_t column, bool on) {
  if (!ValidColumn(column)) return false;
  model_->columns[static_cast<size_t>(column - 1)].fitsHeader = on;
  FitHeader(column);
  return true;
}

int32_t Grid::HeaderFitWidth(int32_t column) const {
  return ValidColumn(column) ? view_->horizontalHeader()->sectionSizeHint(column - 1) : 0;
}

void Grid::FitHeader(int32_t column) {
  if (!ValidColumn(column) || !model_->columns[static_cast<size_t>(column - 1)].fitsHeader) return;
  const int32_t need = HeaderFitWidth(column);
  if (ColumnPixelWidth(column) < need) SetColumnPixelWidth(column, need);
}

bool Grid::eventFilter(QObject* watched, QEvent* event) {
  if (view_ && watched == view_->horizontalHeader() &&
      (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
       event->type() == QEvent::Polish)) {
    for (int32_t c = 1; c <= ColumnCount(); ++c) FitHeader(c);
  }
  return QWidget::eventFilter(watched, event);
}

int32_t Grid::ColumnPixelWidth(int32_t column) const {
  if (!ValidColumn(column)) return 0;
  if (!ColumnVisible(column)) return model_->columns[static_cast<size_t>(column - 1)].width;
  return view_->horizontalHeader()->sectionSize(column - 1);
}

bool Grid::SetColumnPixelWidth(int32_t column, int32_t width) {
  if (!ValidColumn(column) || width < 0) return false;
  model_->columns[static_cast<size_t>(column - 1)].width = width;
  view_->setColumnWidth(column - 1, width);
  return true;
}

bool Grid::ColumnVisible(int32_t column) const { return ValidColumn(column) && !view_->isColumnHidden(column - 1); }

bool Grid::SetColumnVisible(int32_t column, bool visible) {
  if (!ValidColumn(column)) return false;
  view_->setColumnHidden(column - 1, !visible);
  if (visible) {
    const int width = model_->columns[static_cast<size_t>(column - 1)].width;
    if (width > 0 && view_->columnWidth(column - 1) != width) view_->setColumnWidth(column - 1, width);
  }
  return true;
}

QString Grid::ColumnMark(int32_t column) const {
  return ValidColumn(column) ? model_->columns[static_cast<size_t>(column - 1)].mark : QString();
}

bool Grid::SetColumnMark(int32_t column, const QString& mark) {
  if (!ValidColumn(column)) return false;
  model_->columns[static_cast<size_t>(column - 1)].mark = mark;
  return true;
}

GridSortKind Grid::ColumnSortKind(int32_t column) const {
  return ValidColumn(column) ? model_->columns[static_cast<size_t>(column - 1)].kind : GridSortKind::Text;
}

bool Grid::SetColumnSortKind(int32_t column, GridSortKind kind) {
  if (!ValidColumn(column) || (kind != GridSortKind::Text && kind != GridSortKind::Number)) return false;
  model_->columns[static_cast<size_t>(column - 1)].kind = kind;
  return true;
}

void Grid::SetColumnsDraggable(bool on) { view_->horizontalHeader()->setSectionsMovable(on); }
bool Grid::ColumnsDraggable() const { return view_->horizontalHeader()->sectionsMovable(); }
void Grid::SetHeadersClickable(bool on) { view_->horizontalHeader()->setSectionsClickable(on); }
bool Grid::HeadersClickable() const { return view_->horizontalHeader()->sectionsClickable(); }

int32_t Grid::LeftMostColumn() const {
  const QHeaderView* header = view_->horizontalHeader();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int logical = header->logicalIndex(visual);
    if (!header->isSectionHidden(logical)) return logical + 1;
  }
  return 0;
}

bool Grid::SetSearchColumn(int32_t column) {
  if (column != 0 && !ValidColumn(column)) return false;
  searchColumn_ = column;
  return true;
}

bool Grid::SetColumnInView(int32_t column) {
  if (!ValidColumn(column)) return false;
  if (!ColumnVisible(column)) return true;
  const QHeaderView* header = view_->horizontalHeader();
  const int x = header->sectionViewportPosition(column - 1);
  const int width = header->sectionSize(column - 1);
  const int shown = view_->viewport()->width();
  QScrollBar* bar = view_->horizontalScrollBar();
  if (x < 0)
    bar->setValue(bar->value() + x);
  else if (x + width > shown)
    bar->setValue(bar->value() + std::min(x, x + width - shown));
  return true;
}

bool Grid::SetCurrentColumn(int32_t column) {
  if (!ValidColumn(column)) return false;
  const QModelIndex current = view_->currentIndex();
  if (current.isValid())
    view_->selectionModel()->setCurrentIndex(model_->index(current.row(), column - 1), QItemSelectionModel::NoUpdate);
  return SetColumnInView(column);
}

int32_t Grid::CurrentColumn() const {
  const QModelIndex current = view_->currentIndex();
  return current.isValid() ? current.column() + 1 : 0;
}

// --- rows --------------------------------------------------------------------

int32_t Grid::AddRow() {
  model_->AppendRow();
  return RowCount();
}

int32_t Grid::RowCount() const { return static_cast<int32_t>(model_->rows.size()); }

bool Grid::DeleteRow(int32_t row) {
  if (!ValidRow(row)) return false;
  model_->RemoveRows(row - 1, row - 1);
  return true;
}

int32_t Grid::DeleteRows(std::vector<int32_t> rows) {
  std::erase_if(rows, [this](int32_t row) { return !ValidRow(row); });
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  // From the bottom up, so the numbers of the runs still to go stay right.
  size_t end = rows.size();
  while (end > 0) {
    size_t begin = end - 1;
    while (begin > 0 && rows[begin - 1] == rows[begin] - 1) --begin;
    model_->RemoveRows(rows[begin] - 1, rows[end - 1] - 1);
    end = begin;
  }
  return static_cast<int32_t>(rows.size());
}

void Grid::DeleteAllRows() { model_->ReplaceRows({}); }

// --- cells -------------------------------------------------------------------

QVariant Grid::CellValue(int32_t row, int32_t column) const {
  if (!ValidRow(row) || !ValidColumn(column)) return QVariant(QString());
  return model_->Cell(row - 1, column - 1).ToVariant();
}

bool Grid::SetCellValue(int32_t row, int32_t column, const QVariant& value) {
  if (!ValidRow(row) || !ValidColumn(column)) return false;
  model_->SetCell(row - 1, column - 1, GridCell::FromVariant(value));
  return true;
}

bool Grid::SetCellValue(int32_t row, int32_t column, int32_t number) {
  if (!ValidRow(row) || !ValidColumn(column)) return false;
  model_->SetCell(row - 1, column - 1, GridCell::FromInt(number));
  return true;
}

bool Grid::SetCellValue(int32_t row, int32_t column, float number) {
  if (!ValidRow(row) || !ValidColumn(column)) return false;
  model_->SetCell(row - 1, column - 1, GridCell::FromSingle(number));
  return true;
}

QString Grid::TextAt(int32_t row, int32_t column) const {
  if (!ValidRow(row) || !ValidColumn(column)) return QString();
  return model_->Cell(row - 1, column - 1).DisplayText();
}

bool Grid::SetTextAt(int32_t row, int32_t column, const QString& text) {
  if (!ValidRow(row) || !ValidColumn(column)) return false;
  model_->SetCell(row - 1, column - 1, GridCell::FromText(text));
  return true;
}

void Grid::RepaintCell(int32_t row, int32_t column) {
  if (!drawingEnabled_ || !ValidRow(row) || !ValidColumn(column)) return;
  QWidget* port = view_->viewport();
  const QRect rect = view_->visualRect(model_->index(row - 1, column - 1)).intersected(port->rect());
  if (!rect.isEmpty()) port->repaint(rect);
}

// --- selection -----------------------------------------------------------------

void Grid::SetMultiSelect(bool on) {
  view_->setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

bool Grid::MultiSelect() const { return view_->selectionMode() == QAbstractItemView::ExtendedSelection; }

void Grid::SetRowMode(bool on) {
  view_->setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

bool Grid::RowMode() const { return view_->selectionBehavior() == QAbstractItemView::SelectRows; }

int32_t Grid::CurrentRow() const {
  const QModelIndex current = view_->currentIndex();
  if (!current.isValid()) return 0;
  return view_->selectionModel()->rowIntersectsSelection(current.row(), QModelIndex()) ? current.row() + 1 : 0;
}

bool Grid::SetCurrentRow(int32_t row) {
  if (row == 0) {
    view_->selectionModel()->clearSelection();
    return true;
  }
  if (!ValidRow(row)) return false;
  int32_t column = CurrentColumn();
  if (column == 0 || !ColumnVisible(column)) column = LeftMostColumn();
  if (column == 0) column = ColumnCount() > 0 ? 1 : 0;
  if (column == 0) return false;  // a grid without columns has no cell to select
  const QModelIndex idx = model_->index(row - 1, column - 1);
  QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
  if (RowMode()) flags |= QItemSelectionModel::Rows;
  view_->selectionModel()->setCurrentIndex(idx, flags);
  if (ColumnVisible(column)) view_->scrollTo(idx);
  return true;
}

const std::vector<int32_t>& Grid::SelectedRows() const {
  if (!selectionCacheValid_) {
    selectionCache_.clear();
    for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
      for (int r = range.top(); r <= range.bottom(); ++r) selectionCache_.push_back(r + 1);
    }
    std::sort(selectionCache_.begin(), selectionCache_.end());
    selectionCache_.erase(std::unique(selectionCache_.begin(), selectionCache_.end()), selectionCache_.end());
    selectionCacheValid_ = true;
  }
  return selectionCache_;
}

int32_t Grid::SelectionCount() const { return static_cast<int32_t>(SelectedRows().size()); }

int32_t Grid::SelectedRowAt(int32_t i) const {
  const auto& rows = SelectedRows();
  if (i < 1 || static_cast<size_t>(i) > rows.size()) return 0;
  return rows[static_cast<size_t>(i - 1)];
}

// --- sorting and finding ---------------------------------------------------------

void Grid::ApplySort() {
  const size_t n = model_->rows.size();
  std::vector<SortKeys> keys;
  for (const GridSortSpec::Entry& entry : sortSpec_.Entries()) {
    if (!ValidColumn(entry.column)) continue;
    SortKeys k;
    k.column = entry.column - 1;
    k.descending = entry.order == GridSortSpec::kDescending;
    k.kind = entry.kind;
    k.number.resize(n);
    k.hasNumber.resize(n);
    if (k.kind == GridSortKind::Text) k.text.resize(n);
    for (size_t r = 0; r < n; ++r) {
      const GridCell& cell = model_->Cell(static_cast<int>(r), k.column);
      // In a text column only cells that hold numbers compare as numbers.
      double value = 0;
      const bool numeric = k.kind == GridSortKind::Number ? CellNumber(cell, value)
                                                          : cell.type != GridCell::Type::Text && CellNumber(cell, value);
      k.hasNumber[r] = numeric;
      k.number[r] = value;
      if (k.kind == GridSortKind::Text) k.text[r] = Fold(cell.DisplayText());
    }
    if (k.kind == GridSortKind::Number) k.text.assign(n, QString());
    keys.push_back(std::move(k));
  }
  if (keys.empty() || n < 2) return;

  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&keys](int x, int y) {
    for (const SortKeys& k : keys) {
      int c = k.Compare(static_cast<size_t>(x), static_cast<size_t>(y));
      if (c != 0) return k.descending ? c > 0 : c < 0;
    }
    return false;
  });
  model_->Reorder(order);
  QHeaderView* header = view_->horizontalHeader();
  header->setSortIndicatorShown(true);
  header->setSortIndicator(keys.front().column, keys.front().descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

int32_t Grid::FindRowByText(const QString& text) const {
  if (text.isEmpty() || !ValidColumn(searchColumn_)) return 0;
  const QString needle = Fold(text);
  const bool needleAscii = IsAscii(needle);
  const qsizetype n = needle.size();
  const int column = searchColumn_ - 1;
  for (size_t r = 0; r < model_->rows.size(); ++r) {
    const GridCell& cell = model_->Cell(static_cast<int>(r), column);
    const QString shown = cell.type == GridCell::Type::Text ? QString() : cell.DisplayText();
    const QStringView hay = cell.type == GridCell::Type::Text ? QStringView(cell.text) : QStringView(shown);
    // Most rows differ in their first letter; settle those at once.
    if (needleAscii && !hay.isEmpty() && hay[0].unicode() < 0x80 &&
        QChar::toLower(hay[0].unicode()) != QChar::toLower(needle[0].unicode()))
      continue;
    if (needleAscii && hay.size() >= n && IsAscii(hay.left(n))) {
      if (hay.left(n).compare(needle, Qt::CaseInsensitive) == 0) return static_cast<int32_t>(r) + 1;
      continue;
    }
    if (IsAscii(hay)) continue;  // an ASCII text shorter than the needle
    // Folding may shorten the text (accents go), so fold a generous prefix.
    if (Fold(hay.left(4 * n + 8)).startsWith(needle)) return static_cast<int32_t>(r) + 1;
  }
  return 0;
}

// --- drawing and editing ---------------------------------------------------------

void Grid::SetDrawingEnabled(bool on) {
  drawingEnabled_ = on;
  setUpdatesEnabled(on);
  if (on) view_->viewport()->update();
}

void Grid::SetEditable(bool on) {
  editable_ = on;
  model_->editable = on;
}

bool Grid::AskEdit(int32_t row, int32_t column, int32_t keyCode) {
  bool cancel = false;
  emit EditKeyRequest(row, column, keyCode, &cancel);
  return !cancel && editable_;
}

// --- files -------------------------------------------------------------------------

bool Grid::SaveToFile(const QString& path) {
  QString error;
  if (!WriteGridFile(path, model_->rows, ColumnCount(), &error)) {
    lastError_ = error;
    return false;
  }
  lastError_.clear();
  return true;
}

bool Grid::LoadFromFile(const QString& path) {
  std::vector<GridRow> rows;
  int32_t fileColumns = 0;
  QString error;
  if (!ReadGridFile(path, rows, &fileColumns, &error)) {
    lastError_ = error;
    return false;
  }
  if (fileColumns > ColumnCount()) {
    lastError_ = QStringLiteral("%1 has %2 columns; the grid has %3.").arg(path).arg(fileColumns).arg(ColumnCount());
    return false;
  }
  model_->ReplaceRows(std::move(rows));
  lastError_.clear();
  return true;
}

}  // namespace djvp
