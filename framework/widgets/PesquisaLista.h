#pragma once

#include "FisWidgetsExport.h"

#include <QString>

class TDataSource;

// Multiple selection of rows by their key.
//
// source: the rows offered (its dataset is opened when not active).
// keyField: the column whose text identifies a row (it may be a hidden field).
// titles: "title|empty text": the dialog's title and the information shown when the
//   dataset has no row (then list stays unchanged).
// markAll: true marks every row at the start when list is empty (an empty list
//   then reads as "all"); false starts with nothing marked. Rows whose key is in a
//   non-empty list always start marked, and only those.
// list: in, the keys to start with; out on OK, the keys of the marked rows in the
//   dataset's row order, in the format of TListText ('E01','S05'; empty when none
//   is marked). Cancel leaves it unchanged.
//
// The list is a TListPickerDialog; errors (opening the query, an unknown key field)
// propagate.
FIS_WIDGETS_EXPORT void PesquisaLista(TDataSource* source, const QString& keyField,
                                      const QString& titles, bool markAll, QString& list);
