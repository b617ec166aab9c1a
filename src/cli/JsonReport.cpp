// The report for scripts: one JSON object a line on standard output for every event.

#include "cli/CliReport.h"
#include "update/Versions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kavelo::cli {

namespace {

class TJsonReport : public ICliReport {
public:
  explicit TJsonReport(const TCliOutput& output) : fOutput(output) {}

  void BeginHandheld(const QString& address) override { fAddress = address; }
  void LogLine(const QString& line, bool stepLine) override {
    if (stepLine) return; // the step events carry it
    Emit(QStringLiteral("log"), {{QStringLiteral("line"), line}});
  }
  void StepAnnounced(const QString& step) override {
    Emit(QStringLiteral("step"), {{QStringLiteral("step"), step}});
  }
  void StepFinished(const QString& step, bool succeeded, const QString& err,
                    const QString& line) override {
    Emit(QStringLiteral("step-result"), {{QStringLiteral("step"), step},
                                         {QStringLiteral("ok"), succeeded},
                                         {QStringLiteral("error"), err},
                                         {QStringLiteral("line"), line}});
  }
  void Progress(const QString& step, int percent, int32_t position, int32_t max) override {
    Emit(QStringLiteral("progress"), {{QStringLiteral("step"), step},
                                      {QStringLiteral("percent"), percent},
                                      {QStringLiteral("position"), position},
                                      {QStringLiteral("max"), max}});
  }
  void Prompt(const QString& text) override {
    // Standard output belongs to the events; the person at the terminal reads error output.
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    fOutput.Err((t + QStringLiteral(" [y/N] ")).toLocal8Bit());
  }
  void Question(const QString& caption, const QString& text, bool yes,
                const QString& answeredBy) override {
    Emit(QStringLiteral("question"),
         {{QStringLiteral("caption"), caption},
          {QStringLiteral("text"), text},
          {QStringLiteral("answer"), yes ? QStringLiteral("yes") : QStringLiteral("no")},
          {QStringLiteral("answered_by"), answeredBy}});
  }
  void Message(const QString& caption, const QString& text) override {
    Emit(QStringLiteral("message"),
         {{QStringLiteral("caption"), caption}, {QStringLiteral("text"), text}});
  }
  void Error(const QString& text) override {
    Emit(QStringLiteral("error"), {{QStringLiteral("message"), text}});
    fOutput.Err((QStringLiteral("kavelo-cli: ") + text + u'\n').toLocal8Bit());
  }
  void Found(const QStringList& addresses) override {
    for (const QString& a : addresses)
      Emit(QStringLiteral("found"), {{QStringLiteral("address"), a}});
  }
  void Versions(const QString& address, const TControlBlock& block) override {
    const auto group = [](uint32_t installed, uint16_t builtIn) {
      return QJsonObject{{QStringLiteral("installed"), InstalledVersionText(installed)},
                         {QStringLiteral("installed_value"), static_cast<qint64>(installed)},
                         {QStringLiteral("built_in"), VersionText(builtIn)},
                         {QStringLiteral("built_in_value"), builtIn}};
    };
    fAddress = address;
    Emit(QStringLiteral("info"),
         {{QStringLiteral("main_controller"), group(block.OldFirmwareHM, HMFirmwareVersion)},
          {QStringLiteral("radio_module"), group(block.OldFirmwareRM, RMFirmwareVersion)},
          {QStringLiteral("resources"), group(block.OldHMResources, HMResourcesVersion)}});
  }
  void Result(const THandheldResult& r) override {
    fAddress = r.Address;
    Emit(QStringLiteral("result"), ResultObject(r));
  }
  void Summary(const std::vector<THandheldResult>& results, int exitCode) override {
    QJsonArray list;
    for (const auto& r : results) {
      QJsonObject o = ResultObject(r);
      o.insert(QStringLiteral("address"), r.Address);
      list.append(o);
    }
    fAddress.clear();
    Emit(QStringLiteral("summary"),
         {{QStringLiteral("exit"), exitCode}, {QStringLiteral("handhelds"), list}});
  }

private:
  static QJsonObject ResultObject(const THandheldResult& r) {
    QJsonObject o{{QStringLiteral("outcome"), OutcomeKey(r.Outcome)}};
    if (r.Outcome == THandheldOutcome::Failed) {
      o.insert(QStringLiteral("step"), r.FailedStep);
      o.insert(QStringLiteral("error"), r.Error);
    }
    return o;
  }
  static QString OutcomeKey(THandheldOutcome outcome) {
    switch (outcome) {
    case THandheldOutcome::Updated:
      return QStringLiteral("updated");
    case THandheldOutcome::UpToDate:
      return QStringLiteral("up-to-date");
    case THandheldOutcome::Failed:
      break;
    }
    return QStringLiteral("failed");
  }
  void Emit(const QString& event, QJsonObject fields) {
    fields.insert(QStringLiteral("event"), event);
    if (!fAddress.isEmpty() && !fields.contains(QStringLiteral("address")))
      fields.insert(QStringLiteral("address"), fAddress);
    fOutput.Out(QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n');
  }

  const TCliOutput& fOutput;
  QString fAddress;
};

} // namespace

std::unique_ptr<ICliReport> MakeJsonReport(const TCliOutput& output) {
  return std::make_unique<TJsonReport>(output);
}

} // namespace kavelo::cli
