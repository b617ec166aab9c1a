#pragma once
// The three commands of kavelo-cli over one handheld connection, and the answers to the
// sequences' boxes.

#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "cli/CliRun.h"
#include "cli/CliView.h"
#include "handheld/Kavelo.h"

namespace kavelo::cli {

class TCliSession {
public:
  TCliSession(const TCliOptions& options, const TCliEnvironment& environment, ICliReport& report,
              TCliView::TLogSink logFile);

  // Each returns the exit status.
  int Search();
  int Info();
  int Update();

  // The message boxes of the sequences and the search: the version question is answered, every
  // other box is reported.
  int Box(const QString& Text, const QString& Caption, uint32_t Flags);

private:
  // Opens the connection toward address, or reports why it cannot be opened.
  bool Connect(const QString& address);
  // After an open of the connection toward target (Connect or Search): reports why it failed.
  bool Open(bool opened, const QString& target);
  QString OpenFailureText(const QString& target) const;
  // Update mode, the control block into the view, restart; false when a step failed.
  bool ReadVersions();
  THandheldResult UpdateOne(const QString& address);

  const TCliOptions& fOptions;
  const TCliEnvironment& fEnvironment;
  ICliReport& fReport;
  TKavelo fKavelo;
  TCliView fView;
  QString fOpenError;
};

} // namespace kavelo::cli
