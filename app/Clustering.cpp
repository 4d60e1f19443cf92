#include "app/Clustering.h"

#include "app/Application.h"
#include "app/NumericField.h"
#include "sample/OpenRun.h"
#include "sample/TextFormat.h"
#include "summary/Posterior.h"
#include "summary/Trajectory.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iostream>
#include <utility>

#include <QBarSeries>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QStatusBar>
#include <QTabWidget>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

QString text_of(const std::string& s) { return QString::fromStdString(s); }

/// Labels size themselves to their caption, keeping their place.
void set_caption(QLabel* label, const QString& text) {
    label->setText(text);
    if (!label->wordWrap()) label->adjustSize();
}

QLabel* make_label(QWidget* page, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* label = new QLabel(page);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(x, y, w, h);
    set_caption(label, text);
    return label;
}

QPushButton* make_button(QWidget* page, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* button = new QPushButton(text, page);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, y, w, h);
    return button;
}

QLineEdit* make_edit(QWidget* page, const char* name, const QString& text, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(text, page);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(x, y, w, h);
    return edit;
}

NumericField* make_numeric(QWidget* page, const char* name, double value, double min, double max, double step,
                           QRect geometry) {
    auto* field = new NumericField(page);
    field->setObjectName(QLatin1String(name));
    field->setMinimum(min);
    field->setMaximum(max);
    field->setSingleStep(step);
    field->setValue(value);
    field->setGeometry(geometry);
    return field;
}

QListWidget* make_list(QWidget* page, const char* name, int x, int y, int w, int h) {
    auto* list = new QListWidget(page);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setGeometry(x, y, w, h);
    return list;
}

QChartView* place_chart(QWidget* page, const char* name, const QString& title, bool legend, QRect geometry) {
    QChartView* view = make_chart_view(page, QLatin1String(name), title, legend);
    view->setGeometry(geometry);
    return view;
}

QString joined_texts(const std::vector<Notice>& notices) {
    QStringList lines;
    for (const Notice& n : notices) lines.append(text_of(n.text));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

TForm1::KeepNoticesOnError::KeepNoticesOnError(Diagnostics& diag, std::vector<Notice>& target)
    : diag_(diag), target_(target), uncaught_(std::uncaught_exceptions()) {}

TForm1::KeepNoticesOnError::~KeepNoticesOnError() {
    if (std::uncaught_exceptions() > uncaught_) target_ = diag_.take();
}

TForm1::TForm1(std::unique_ptr<Dialogs> dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(std::move(dialogs)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velmora (version 1)"));
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    // The layout was drawn for a narrow sans-serif face, in which "Posterior k outfile" is 81 pixels wide;
    // a wider substitute is narrowed until its captions fit their places again.
    for (int stretch = 100; stretch >= 70; stretch -= 2) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(QStringLiteral("Posterior k outfile")) <= 81) break;
    }
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    run_.trace_stale = true;
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);
    build_infer_k_page();
    build_make_tree_page();
    PageControl1->setCurrentIndex(0);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);

    move(38, 7);
    resize(916, 697 + statusBar()->sizeHint().height());

    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(spin_burn_in, &NumericField::changed, this, &TForm1::spin_burn_inChange);
    connect(calc_posterior, &QPushButton::clicked, this, &TForm1::calc_posteriorClick);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(list_indiv, &QComboBox::activated, this, &TForm1::list_indivChange);
    connect(IncludeBtn, &QPushButton::clicked, this, &TForm1::IncludeBtnClick);
    connect(ExcludeBtn, &QPushButton::clicked, this, &TForm1::ExcludeBtnClick);
    connect(IncAllBtn, &QPushButton::clicked, this, &TForm1::IncAllBtnClick);
    connect(ExcAllBtn, &QPushButton::clicked, this, &TForm1::ExcAllBtnClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);

    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance()))
        app->set_error_handler([this](const QString& what) { show_error(what); });
    FormCreate();
}

TForm1::~TForm1() {
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) app->set_error_handler(nullptr);
}

void TForm1::build_infer_k_page() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, tr("Infer k"));
    QWidget* p = TabSheet1;

    Label11 = make_label(p, "Label11", tr("Filename :"), 56, 3, 48, 13);
    Label12 = make_label(p, "Label12", QStringLiteral("_____"), 112, 3, 30, 13);
    Button2 = make_button(p, "Button2", tr("Open Strandel result file"), 296, 24, 129, 33);
    Chart4 = place_chart(p, "Chart4", tr("Path of k and log likelihood for markov chain observations"), true,
                         QRect(75, 60, 678, 281));
    trace_ = add_trace_series(Chart4);
    Series5 = trace_.k;
    Series5->setObjectName(QStringLiteral("Series5"));
    Series6 = trace_.log_likelihood;
    Series6->setObjectName(QStringLiteral("Series6"));
    Button3 = make_button(p, "Button3", tr("Print"), 776, 128, 75, 25);
    Button4 = make_button(p, "Button4", tr("Save Trajectory"), 768, 224, 89, 25);
    Chart2 =
        place_chart(p, "Chart2", tr("Posterior distribution of k (burn in = 1000)"), false, QRect(301, 396, 356, 269));
    Series3 = add_posterior_series(Chart2);
    Series3->setObjectName(QStringLiteral("Series3"));
    Label5 = make_label(p, "Label5", tr("Posterior k outfile"), 42, 450, 81, 13);
    posterior_filename = make_edit(p, "posterior_filename", QStringLiteral("posterior_k.txt"), 129, 448, 167, 21);
    Label4 = make_label(p, "Label4", tr("Burn in"), 80, 480, 33, 13);
    spin_burn_in = make_numeric(p, "spin_burn_in", 10, 0, 10000, 10, QRect(128, 478, 81, 22));
    calc_posterior = make_button(p, "calc_posterior", tr("Refresh"), 136, 518, 156, 20);
    calc_posterior->setVisible(false);
    calc_posterior->setEnabled(false);
    Label8 = make_label(p, "Label8", tr("Bayes factor"), 672, 480, 59, 13);
    Label_bayes = make_label(p, "Label_bayes", QStringLiteral(":"), 739, 479, 3, 13);
    Button6 = make_button(p, "Button6", tr("Print"), 672, 544, 75, 25);
}

void TForm1::build_make_tree_page() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet2, tr("Make Tree"));
    QWidget* p = TabSheet2;

    Button1 = make_button(p, "Button1", tr("Make Tree"), 342, 12, 75, 25);
    Label10 = make_label(p, "Label10", tr("Progression"), 456, 16, 55, 13);
    ProgressBar1 = new QProgressBar(p);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(600, 16, 174, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Button5 = make_button(p, "Button5", tr("Print"), 824, 16, 75, 25);
    Label1 = make_label(p, "Label1", tr("For k ="), 34, 96, 33, 13);
    kmin = make_numeric(p, "kmin", 1, 1, 9, 0.1, QRect(78, 95, 41, 22));
    Label2 = make_label(p, "Label2", tr("To k ="), 122, 96, 31, 13);
    kmax = make_numeric(p, "kmax", 100, 2, 100, 0.1, QRect(155, 95, 47, 22));
    Label6 = make_label(p, "Label6", tr("Tree file"), 51, 147, 38, 13);
    Edit2 = make_edit(p, "Edit2", QStringLiteral("tree.txt"), 117, 144, 116, 21);
    Label9 = make_label(p, "Label9", tr("Node heights :"), 37, 182, 69, 13);
    problevels_filename = make_edit(p, "problevels_filename", QStringLiteral("node_heights.txt"), 114, 181, 119, 21);
    Label16 = make_label(p, "Label16", tr("Node clusters :"), 36, 226, 71, 13);
    cluster_filename = make_edit(p, "cluster_filename", QStringLiteral("node_clusters.txt"), 112, 224, 121, 21);
    Label17 = new QLabel(tr("Pairwise co-assignement probs"), p);
    Label17->setObjectName(QStringLiteral("Label17"));
    Label17->setWordWrap(true);
    Label17->setGeometry(28, 281, 77, 39);
    pairwise_co_assi_probs_filename =
        make_edit(p, "pairwise_co_assi_probs_filename", QStringLiteral("pairwise_probs.txt"), 112, 288, 121, 21);
    Chart1 = place_chart(p, "Chart1", tr("Prob levels"), false, QRect(224, 50, 673, 315));
    Series1 = add_levels_series(Chart1);
    Series1->setObjectName(QStringLiteral("Series1"));
    Chart1->lower();
    Label7 = make_label(p, "Label7", tr("Indiv."), 17, 391, 26, 13);
    Chart3 = place_chart(p, "Chart3", tr("Posterior prob of co-assignement for Indiv with the others"), false,
                         QRect(4, 401, 486, 264));
    // The title goes below the drop-down list and the print button, which lie on the chart's upper corners.
    Chart3->chart()->setMargins(QMargins(4, 26, 4, 2));
    Series4 = add_coassignment_series(Chart3);
    Series4->setObjectName(QStringLiteral("Series4"));
    list_indiv = new QComboBox(p);
    list_indiv->setObjectName(QStringLiteral("list_indiv"));
    list_indiv->setEditable(false);
    list_indiv->setGeometry(18, 407, 81, 21);
    Button7 = make_button(p, "Button7", tr("Print"), 409, 404, 75, 25);
    SrcList = make_list(p, "SrcList", 520, 384, 145, 265);
    Label15 = make_label(p, "Label15", tr("Selected set of individuals :"), 728, 379, 129, 13);
    DstList = make_list(p, "DstList", 728, 392, 145, 201);
    IncludeBtn = make_button(p, "IncludeBtn", QStringLiteral(">"), 680, 416, 33, 17);
    ExcludeBtn = make_button(p, "ExcludeBtn", QStringLiteral("<"), 680, 448, 33, 17);
    IncAllBtn = make_button(p, "IncAllBtn", QStringLiteral(">>"), 680, 496, 41, 17);
    ExcAllBtn = make_button(p, "ExcAllBtn", QStringLiteral("<<"), 680, 528, 41, 17);
    Label14 = make_label(p, "Label14", tr("Co-assignement prob for chosen set :"), 672, 608, 175, 13);
    Label3 = new QLabel(QStringLiteral("Label3"), p);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setGeometry(854, 608, 56, 28);
    Label3_note = new QLabel(p);
    Label3_note->setObjectName(QStringLiteral("Label3_note"));
    Label3_note->setWordWrap(true);
    Label3_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3_note->setGeometry(672, 636, 236, 30);
}

void TForm1::FormCreate() {
    run_.burn_in = truncate_field(spin_burn_in->value());
    run_.last_burn_in = run_.burn_in;
    run_.opened = false;
}

RunParameters TForm1::read_run_parameters(const QString& path) const {
    RunParameters p;
    p.result_path = to_path(path);
    p.pairwise_path = to_path(pairwise_co_assi_probs_filename->text());
    p.tree_path = to_path(Edit2->text());
    p.heights_path = to_path(problevels_filename->text());
    p.clusters_path = to_path(cluster_filename->text());
    p.k_from = truncate_field(kmin->value());
    p.k_to = truncate_field(kmax->value());
    p.burn_in = truncate_field(spin_burn_in->value());
    return p;
}

void TForm1::Button2Click() {
    const std::optional<QString> path = dialogs_->open_file(this, QStringLiteral("txt"), QStringLiteral("*.txt"));
    if (!path) return;
    open_result_file(*path);
}

void TForm1::open_result_file(const QString& path) {
    if (tree_running_) {
        notify_user(tr("A tree is being made from the open run; open another file when it is done."));
        return;
    }
    statusBar()->clearMessage();
    Diagnostics diag(&std::cout);
    if (begin_open(run_, read_run_parameters(path), diag) != HeaderStatus::ok) {
        show_notices(diag, QMessageBox::Warning);
        return;
    }
    set_caption(Label12, path);
    clear_trace();
    spin_burn_in->setMaximum(run_.header.n_obs);
    {
        KeepNoticesOnError keep(diag, error_notices_);
        load_store(run_, side_file_name, diag);
    }
    write_posterior(run_.burn_in, diag);
    load_trace(diag);
    fill_individuals(SrcList);
    show_notices(diag, QMessageBox::Warning);
}

void TForm1::write_posterior(std::int32_t b, Diagnostics& diag) {
    const std::optional<Posterior> posterior = compute_posterior(run_.header, *run_.store, b);
    if (!posterior) {
        const std::int32_t stored = run_.store->get_n_samples();
        notify_user(stored == 0 ? tr("The run holds no observation: there is no posterior of k.")
                                : tr("A burn-in of %1 leaves none of the %2 observations: the posterior of k shown "
                                     "is unchanged.")
                                      .arg(b)
                                      .arg(stored));
        return;
    }
    fill_posterior(Series3, posterior->p);
    set_chart_title(Chart2, text_of(posterior->title));
    if (posterior->bayes_factor) {
        set_caption(Label_bayes, text_of(fixed_point_text(*posterior->bayes_factor, decimal_separator())));
    } else {
        notify_user(
            tr("The Bayes factor is not defined for a burn-in of %1; the value shown is the previous one.").arg(b));
    }
    write_posterior_file(to_path(posterior_filename->text()), run_.result_path, run_.header, *posterior, diag);
}

bool TForm1::load_trace(Diagnostics& diag) {
    const std::optional<std::vector<TracePoint>> points = read_side_file(run_.side_path, diag);
    if (!points) return false;
    fill_trace(trace_, *points);
    run_.trace_stale = false;
    return true;
}

void TForm1::clear_trace() {
    ::clear_trace(trace_);
    run_.trace_stale = true;
}

void TForm1::spin_burn_inChange() {
    calc_posterior->setEnabled(true);
    const std::int32_t b = truncate_field(spin_burn_in->value());
    if (b == run_.last_burn_in) return;
    run_.last_burn_in = b;
    if (!run_.opened || !run_.store) return;
    statusBar()->clearMessage();
    run_.store->count_k(b);
    Diagnostics diag(&std::cout);
    write_posterior(b, diag);
    if (!diag.empty()) notify_user(joined_texts(diag.take()));
}

void TForm1::calc_posteriorClick() { spin_burn_inChange(); }

void TForm1::Button4Click() {
    const std::optional<QString> path = dialogs_->save_file(this, QStringLiteral("trajectories.txt"));
    if (!path) return;
    Diagnostics diag(&std::cout);
    save_trajectory_file(to_path(*path), run_.side_path, diag);
    show_notices(diag, QMessageBox::Warning);
}

void TForm1::PageControl1Change(int index) {
    if (index != 0 || !run_.trace_stale) return;
    Diagnostics diag(&std::cout);
    load_trace(diag);
    if (!diag.empty()) notify_user(joined_texts(diag.take()));
}

void TForm1::Button3Click() { dialogs_->print_preview(this, Chart4, true); }
void TForm1::Button6Click() { dialogs_->print_preview(this, Chart2, false); }
void TForm1::Button5Click() { dialogs_->print_preview(this, Chart1, false); }
void TForm1::Button7Click() { dialogs_->print_preview(this, Chart3, false); }

void TForm1::fill_individuals(QListWidget* list) const {
    list->clear();
    QStringList items;
    items.reserve(run_.header.n_indivs);
    for (std::int32_t i = 1; i <= run_.header.n_indivs; ++i) items.append(QString::number(i));
    list->addItems(items);
}

void TForm1::notify_user(const QString& text) { statusBar()->showMessage(text); }

void TForm1::show_notices(Diagnostics& diag, QMessageBox::Icon icon, const QString& intro) {
    if (diag.empty()) return;
    QString text = joined_texts(diag.take());
    if (!intro.isEmpty()) text = intro + QLatin1Char('\n') + text;
    dialogs_->message(this, icon, text);
}

void TForm1::show_error(const QString& what) {
    QString text = what;
    if (!error_notices_.empty()) text += QLatin1Char('\n') + joined_texts(error_notices_);
    error_notices_.clear();
    dialogs_->message(this, QMessageBox::Critical, text);
}

void TForm1::refresh_separator() {
    spin_burn_in->refresh_text();
    kmin->refresh_text();
    kmax->refresh_text();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (tree_running_) {
        close_requested_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::FormClose() {
    run_.store.reset();
    std::error_code ignored;
    std::filesystem::remove(side_file_name, ignored);
}
