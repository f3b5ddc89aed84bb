#pragma once

#include <QDialog>
#include <QJsonObject>
#include <vector>

#include "settings/pipeline_manager.h"
#include "store/opportunity.h"

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;

namespace qm::desktop {

/// An opportunity's editable fields as "opportunity.create" /
/// "opportunity.update" name them (no value and no timeline are null).
QJsonObject opportunityFields(const Opportunity& opportunity);

/// Creates or edits an opportunity: title, company, value and currency, its
/// pipeline stage (the user's stages, in their order), timeline, confidence,
/// next step and notes. A stage that is no longer in the pipeline is kept
/// and shown as such. It only collects the fields; the caller sends them.
class OpportunityEditDialog : public QDialog {
  Q_OBJECT
 public:
  OpportunityEditDialog(const Opportunity& opportunity, std::vector<PipelineStage> stages,
                        bool isNew, QWidget* parent = nullptr);

  /// The fields as the companion's "opportunity.create" / "opportunity.update"
  /// name them: every field for a new one, the changed ones otherwise.
  QJsonObject fields() const;

  QLineEdit* titleField() const { return title_; }
  QComboBox* stageBox() const { return stage_; }
  QDoubleSpinBox* valueBox() const { return value_; }

 private:
  Opportunity opportunity_;
  bool isNew_;
  QLineEdit* title_ = nullptr;
  QLineEdit* company_ = nullptr;
  QDoubleSpinBox* value_ = nullptr;
  QLineEdit* currency_ = nullptr;
  QComboBox* stage_ = nullptr;
  QComboBox* timeline_ = nullptr;
  QComboBox* confidence_ = nullptr;
  QLineEdit* nextStep_ = nullptr;
  QPlainTextEdit* notes_ = nullptr;
};

}  // namespace qm::desktop
