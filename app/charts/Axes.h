#pragma once

// Axes shared by the charts: whole-number axes whose labels stay few at any zoom, probability axes, and
// finding a series' axes.

#include <QString>
#include <Qt>

class QAbstractSeries;
class QChart;
class QValueAxis;

/// Makes `axis` an axis of whole numbers labelled at whole multiples of the smallest of 1, 2, 5, 10, 20, ...
/// that keeps at most `max_ticks` labels, whatever range a zoom or a fill gives it.
void fit_ticks_to_range(QValueAxis* axis, int max_ticks);
/// Gives a fitted axis the range [lo, hi] (hi <= lo: [lo, lo + 1]), its tick interval first.
void set_fitted_range(QValueAxis* axis, double lo, double hi);
/// Fits the ticks of every fitted axis of `chart` to the room its plot area now gives their labels (each
/// label about as wide as its text), at most the number each axis was given.
void refit_ticks(QChart* chart);
/// Shows the whole of `chart` again. An axis lays its ticks out with its old interval before it hears of a
/// new range, so the fitted axes are given one tick before the range widens and their interval after; the
/// axes round_ticks changed get their ticks and labels back as they were.
void reset_zoom(QChart* chart);

/// The smallest step of 1, 2 or 5 times a power of 10 that cuts `span` into at most `max_ticks` intervals
/// (1 for a span that is not above 0 or not finite).
double round_step(double span, int max_ticks);
/// The printf format that labels multiples of `step` exactly enough: "%.0f" from 1 up, "%.1f" for 0.1,
/// 0.2 and 0.5, "%.2f" for 0.01, ...
QString round_label_format(double step);
/// While `chart` is zoomed or panned: every value axis other than the whole-number ones of integer_axis
/// puts its ticks at whole multiples of round_step of its range (at most 10 intervals across, 8 up) and
/// labels them with round_label_format, at each change of its range, until reset_zoom puts back the ticks
/// and labels it had. Called before each zoom and pan.
void round_ticks(QChart* chart);

/// A fitted axis of whole numbers (fit_ticks_to_range) added to `chart` at `where`, range 0..1.
QValueAxis* integer_axis(QChart* chart, Qt::Alignment where, int max_ticks);
/// A vertical axis from 0 to 1 on the left; with `whole_units` its labels are 0 and 1 only, with minor
/// ticks between, else every 0.2.
QValueAxis* probability_axis(QChart* chart, bool whole_units);
/// The value axis of `series` in `orientation` (and at `where`, when given); null when there is none.
QValueAxis* attached_axis(QAbstractSeries* series, Qt::Orientation orientation, Qt::Alignment where = {});
/// The value axis of `chart` in `orientation` at `where`; null when there is none.
QValueAxis* axis_of(QChart* chart, Qt::Orientation orientation, Qt::Alignment where);

/// Index of the point nearest x among `count` points at x = first, first + 1, ...; -1 when none is near.
qsizetype nearest_index(double x, double first, qsizetype count);
/// v in six significant digits, as tooltips show values.
QString value_text(double v);
