#include "PublishCommand.h"

#include "MetricsServer.h"
#include "PublishedUnit.h"
#include "StopSignals.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <memory>
#include <set>
#include <vector>

namespace quellix {

namespace {

struct Target {
    QString id;
    QString device;
};

std::optional<PublishConfig> LoadConfig(const PublishRequest& request, CliOutput& output, int& status) {
    QString error;
    std::optional<PublishConfig> config = request.config.isEmpty()
                                              ? ConfigForBroker(request.broker, &error)
                                              : LoadPublishConfig(request.config, &error);
    if (!config) {
        status = output.fail(request.config.isEmpty() ? ExitUsage : ExitFileError,
                             request.config.isEmpty() ? QStringLiteral("--broker: ") + error : error);
        return std::nullopt;
    }
    if (!request.metrics.isEmpty()) {
        QString host;
        quint16 port = 0;
        if (!ParseListenAddress(request.metrics, &host, &port, &error)) {
            status = output.fail(ExitUsage, QStringLiteral("--metrics: ") + error);
            return std::nullopt;
        }
        config->metricsListen = request.metrics;
    }
    return config;
}

std::optional<std::vector<Target>> Targets(const PublishRequest& request, const PortResolver& resolvePort,
                                           CliOutput& output, int& status) {
    std::vector<Target> targets;
    if (!request.port.isEmpty()) {
        QString error;
        const std::optional<QString> device = resolvePort(request.port, error);
        if (!device) {
            status = output.fail(ExitUsage, QStringLiteral("--port: ") + error);
            return std::nullopt;
        }
        const QString id =
            request.unit.isEmpty() ? UnitIdFor(QFileInfo(request.port).fileName()) : request.unit;
        if (!IsValidUnitId(id)) {
            status = output.fail(ExitUsage, QStringLiteral("--unit takes 1 to 64 letters, digits, '_' and "
                                                           "'-', not \"%1\"")
                                                .arg(id));
            return std::nullopt;
        }
        targets.push_back({id, *device});
        return targets;
    }
    std::vector<InventoryError> errors;
    const std::optional<Inventory> inventory = ReadInventory(request.inventory, resolvePort, errors);
    if (!inventory) {
        for (const InventoryError& e : errors)
            output.fail(ExitFileError, request.inventory + QStringLiteral(": ") + e.text());
        status = ExitFileError;
        return std::nullopt;
    }
    // Names unique whatever their case may still meet once made into ids ("Line 1" and "Line_1").
    std::set<QString> ids;
    for (const InventoryUnit& unit : inventory->units) {
        const QString id = UnitIdFor(unit.name);
        if (!ids.insert(id.toLower()).second) {
            status =
                output.fail(ExitFileError, QStringLiteral("%1: line %2: the unit \"%3\" would publish as "
                                                          "\"%4\", as another unit does")
                                               .arg(request.inventory)
                                               .arg(unit.line)
                                               .arg(unit.name, id));
            return std::nullopt;
        }
        targets.push_back({id, unit.device});
    }
    return targets;
}

// Tells the operator once when the broker cannot be reached and once when every unit is connected
// again, not once per unit and attempt.
class BrokerWatch : public QObject {
public:
    BrokerWatch(const MqttSettings& broker, CliOutput& output)
        : where_(QStringLiteral("%1:%2").arg(broker.host).arg(broker.port)), output_(output) {}

    void follow(MqttClient& client) {
        ++units_;
        connect(&client, &MqttClient::connected, this, [this] {
            if (++connected_ == units_ && std::exchange(away_, false))
                output_.note(
                    QStringLiteral("quellix-cli: the broker at %1 is back; sending the queued readings")
                        .arg(where_));
        });
        connect(&client, &MqttClient::disconnected, this, [this](const QString& reason) {
            --connected_;
            away(reason);
        });
        connect(&client, &MqttClient::attemptFailed, this, [this](const QString& reason) { away(reason); });
    }

private:
    void away(const QString& reason) {
        if (!std::exchange(away_, true))
            output_.note(QStringLiteral("quellix-cli: the broker at %1 cannot be reached (%2); readings are "
                                        "queued, and it is tried again")
                             .arg(where_, reason));
    }

    QString where_;
    CliOutput& output_;
    int units_ = 0;
    int connected_ = 0;
    bool away_ = false;
};

// Runs the units until a stop signal, then lets each finish within the grace time.
class Publishing : public QObject {
public:
    Publishing(const PublishConfig& config, CliOutput& output)
        : config_(config), output_(output), broker_(config.broker, output) {
        connect(&signals_, &StopSignals::received, this, &Publishing::stop);
    }

    int add(const Target& target) {
        QString error;
        std::unique_ptr<ReadingQueue> queue =
            ReadingQueue::Open(config_.queueDirectory, target.id, config_.queueReadings, &error);
        if (!queue)
            return output_.fail(ExitFileError, error);
        auto unit = std::make_unique<PublishedUnit>(target.id, target.device, config_, std::move(queue),
                                                    metrics_.unit(target.id));
        connect(unit.get(), &PublishedUnit::note, this,
                [this](const QString& text) { output_.note(QStringLiteral("quellix-cli: ") + text); });
        connect(unit.get(), &PublishedUnit::finished, this, [this] {
            if (++finished_ == units_.size())
                loop_.quit();
        });
        broker_.follow(unit->brokerConnection());
        units_.push_back(std::move(unit));
        return ExitDone;
    }

    int run() {
        std::unique_ptr<MetricsServer> server;
        if (!config_.metricsListen.isEmpty()) {
            server = std::make_unique<MetricsServer>([this] { return metrics_.Exposition(); });
            if (QString error; !server->listen(config_.metricsListen, &error))
                return output_.fail(ExitFileError, QStringLiteral("metrics: ") + error);
        }
        for (const auto& unit : units_)
            unit->start();
        output_.detail(QStringLiteral("publishing %1 unit(s) to %2:%3, queues in %4")
                           .arg(units_.size())
                           .arg(config_.broker.host)
                           .arg(config_.broker.port)
                           .arg(config_.queueDirectory));
        loop_.exec();
        return ExitDone;
    }

private:
    void stop() {
        if (std::exchange(stopping_, true))
            return;
        for (const auto& unit : units_)
            unit->finish(PublishGraceMs);
        // A connection that never says it has ended must not keep the service from stopping.
        QTimer::singleShot(PublishGraceMs + 3000, &loop_, &QEventLoop::quit);
    }

    const PublishConfig& config_;
    CliOutput& output_;
    StopSignals signals_;
    PublishMetrics metrics_;
    BrokerWatch broker_;
    std::vector<std::unique_ptr<PublishedUnit>> units_;
    QEventLoop loop_;
    std::size_t finished_ = 0;
    bool stopping_ = false;
};

} // namespace

int PublishCommand(const PublishRequest& request, const PortResolver& resolvePort, CliOutput& output) {
    int status = ExitDone;
    const std::optional<PublishConfig> config = LoadConfig(request, output, status);
    if (!config)
        return status;
    const std::optional<std::vector<Target>> targets = Targets(request, resolvePort, output, status);
    if (!targets)
        return status;
    Publishing publishing(*config, output);
    for (const Target& target : *targets) {
        if (const int added = publishing.add(target); added != ExitDone)
            return added;
    }
    return publishing.run();
}

} // namespace quellix
