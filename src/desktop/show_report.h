#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <QPageSize>
#include <QString>
#include <filesystem>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"
#include "settings/pipeline_manager.h"

namespace qm {
class Store;
}

namespace qm::desktop {

/// The page a report is printed on where the locale lives: Letter in the
/// United States and the countries that print on it (Canada, Mexico, the
/// Philippines …), A4 everywhere else.
QPageSize::PageSizeId reportPageSize(const QLocale& locale);

/// The post-show report of one event, as a PDF whose text is real text: the
/// event with its dates and place, the headline figures, the dashboard's
/// charts, the priority contacts, the pipeline table and the follow-up
/// status. It only reads the store.
class ShowReport {
  Q_DECLARE_TR_FUNCTIONS(qm::desktop::ShowReport)

 public:
  /// Writes the report of `eventID` to `file` whole (mode 0600: it names
  /// people) or not at all, on the locale's paper, with `stages` giving the
  /// pipeline's order and colours.
  static Status write(Store& store, const Uuid& eventID, const std::vector<PipelineStage>& stages,
                      const std::filesystem::path& file, const QLocale& locale = QLocale());
  /// The report as PDF bytes.
  static Result<QByteArray> render(Store& store, const Uuid& eventID,
                                   const std::vector<PipelineStage>& stages,
                                   const QLocale& locale = QLocale());
  /// "Hannover Messe 2026 Report.pdf", without the characters file names
  /// cannot hold.
  static QString fileName(const QString& eventName);
};

}  // namespace qm::desktop
