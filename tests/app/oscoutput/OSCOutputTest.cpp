#include "app/plugins/oscoutput/OSCOutput.h"
#include "app/plugins/oscoutput/OSCOutputSender.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/osc/OSCOutPort.h"
#include "tests/support/Eventually.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <lo/lo.h>

#include <mutex>

namespace {

class OSCOutputTest : public PluginHost {
 protected:
  OSCOutputTest() {
    dsc.setDataSource(DataSourceHolder::createWithName(QStringLiteral("T")), {QStringLiteral("T")});
    osc = std::make_unique<QKOSCManager>(this);
    output = make<OSCOutput>();
  }
  ~OSCOutputTest() override { manager->deleteAllPlugins(); }
  QKOSCManager* oscManager() override { return osc.get(); }

  std::shared_ptr<DSFloatInfreqRepeat> addSource(const QString& name) {
    auto source = DSFloatInfreqRepeat::createWithName(name);
    dsc.setDataSource(source, {QStringLiteral("T"), name});
    return source;
  }
  void bind(int row, const QString& name) {
    output->items()[row]->setSource({QStringLiteral("T"), name});
    output->items()[row]->setSyncFlag(true);
  }
  using Queue = std::vector<std::pair<QByteArray, float>>;
  static QByteArray address(const char* text) {
    return OSCFloatBundleWriter::encodeAddress(QString::fromLatin1(text));
  }
  QStringList addresses() const {
    QStringList list;
    for (int row = 0; row < static_cast<int>(output->items().size()); ++row)
      list << output->cellValue(row, 0).toString();
    return list;
  }

  std::unique_ptr<QKOSCManager> osc;
  OSCOutput* output = nullptr;
};

TEST_F(OSCOutputTest, ATickQueuesEveryChangeOfItsRowsInPushOrder) {
  output->createItem();
  auto a = addSource(QStringLiteral("a"));
  auto b = addSource(QStringLiteral("b"));
  bind(0, QStringLiteral("a"));
  bind(1, QStringLiteral("b"));
  output->sender()->DSCProc();
  a->setValue(0.3f);
  a->setValue(0.3f);
  b->setValue(0.5f);
  a->setValue(0.7f);
  EXPECT_EQ(
      output->sender()->queued(),
      (Queue{{address("/ZAPH/1"), 0.3f}, {address("/ZAPH/2"), 0.5f}, {address("/ZAPH/1"), 0.7f}}));
  output->sender()->DSCProc();  // no port: dropped
  EXPECT_TRUE(output->sender()->queued().empty());
}

TEST_F(OSCOutputTest, SoloMutesOtherRowsWithoutRecordingTheirValues) {
  output->createItem();
  auto a = addSource(QStringLiteral("a"));
  auto b = addSource(QStringLiteral("b"));
  bind(0, QStringLiteral("a"));
  bind(1, QStringLiteral("b"));
  output->sender()->DSCProc();
  output->soloToggleUsed(1);
  output->selectRow(1);
  a->setValue(0.4f);
  b->setValue(0.4f);
  EXPECT_EQ(output->sender()->queued(), (Queue{{address("/ZAPH/2"), 0.4f}}));
  output->soloToggleUsed(0);
  a->setValue(0.4f);  // pushed while muted, so not recorded: it goes now
  EXPECT_EQ(output->sender()->queued().back(), (std::pair{address("/ZAPH/1"), 0.4f}));
}

TEST_F(OSCOutputTest, NewRowsTakeTheLowestFreeAddress) {
  output->createItem();
  output->createItem();
  EXPECT_EQ(addresses(), (QStringList{"/ZAPH/1", "/ZAPH/2", "/ZAPH/3"}));
  output->selectRow(1);
  output->deleteKeyPressed();
  output->createItem();
  EXPECT_EQ(addresses().last(), QStringLiteral("/ZAPH/2"));
  output->setCellValue(2, 0, QStringLiteral("/ZAPH/3"));
  output->setCellValue(1, 0, QStringLiteral("/x"));
  output->createItem();
  EXPECT_EQ(addresses().last(), QStringLiteral("/ZAPH/2"));
  output->setCellValue(3, 0, QStringLiteral("/y"));
  output->setCellValue(0, 0, QStringLiteral("/ZAPH/2"));
  output->createItem();
  EXPECT_EQ(addresses(), (QStringList{"/ZAPH/2", "/x", "/ZAPH/3", "/y", "/ZAPH/1"}));
}

TEST_F(OSCOutputTest, AnAddressEditNeedsALeadingSlashAndNoPatternCharacters) {
  const struct {
    const char* typed;
    bool accepted;
  } cases[] = {{"/fader/1", true}, {"/ZAPH/é", true}, {"", false},      {"fader", false},
               {"/a b", false},    {"/a\tb", false},  {"/a#", false},   {"/a*", false},
               {"/a,b", false},    {"/a?", false},    {"/a[1]", false}, {"/a{b}", false}};
  LogCapture log;
  for (const auto& c : cases) {
    output->setCellValue(0, 0, QStringLiteral("/ZAPH/1"));
    EXPECT_EQ(output->setCellValue(0, 0, QString::fromUtf8(c.typed)), c.accepted) << c.typed;
    EXPECT_EQ(addresses().front(),
              c.accepted ? QString::fromUtf8(c.typed) : QStringLiteral("/ZAPH/1"));
  }
  EXPECT_FALSE(output->setCellValue(0, 0, 3));  // not text
}

TEST_F(OSCOutputTest, AStoredInvalidAddressLoadsAndSavesUnchangedAndSendsNothing) {
  const QVariantMap snapshot{
      {OSCOutput::kOutputPortName, QStringLiteral("Missing")},
      {OSCOutput::kItemArray, QVariantList{QVariantMap{{"address", "no slash"},
                                                       {"syncArray", QStringList{"T", "a"}},
                                                       {"syncFlag", true}},
                                           42}}};
  auto a = addSource(QStringLiteral("a"));
  LogCapture log;
  output->loadSnapshot(snapshot);
  ASSERT_EQ(output->items().size(), 1u);
  EXPECT_EQ(output->destinationButton()->titleOfSelectedItem(), OutputPlugin::kNone);
  a->setValue(0.5f);
  a->setValue(0.6f);
  EXPECT_TRUE(output->sender()->queued().empty());
  EXPECT_EQ(log.lines().filter(QStringLiteral("is no OSC address")).size(), 1);
  EXPECT_TRUE(log.contains(QStringLiteral("not a dictionary")));
  const QVariantMap saved = output->createSnapshot();
  EXPECT_EQ(saved.value(OSCOutput::kItemArray).toList().front().toMap().value("address"),
            QVariant(QStringLiteral("no slash")));
  EXPECT_EQ(saved.value(OSCOutput::kOutputPortName), QVariant(QStringLiteral("<none>")));
}

// A liblo server on loopback: every bundle it gets and the floats in it.
class Receiver {
 public:
  Receiver() : thread_(lo_server_thread_new(nullptr, nullptr)) {
    lo_server server = lo_server_thread_get_server(thread_);
    lo_server_add_bundle_handlers(server, &Receiver::bundleStart, nullptr, this);
    lo_server_thread_add_method(thread_, nullptr, "f", &Receiver::message, this);
    lo_server_thread_start(thread_);
  }
  ~Receiver() { lo_server_thread_free(thread_); }
  int port() const { return lo_server_thread_get_port(thread_); }
  std::vector<std::vector<std::pair<std::string, float>>> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(bundles_, {});
  }
  std::size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bundles_.size();
  }

 private:
  static int bundleStart(lo_timetag, void* self) {
    auto* receiver = static_cast<Receiver*>(self);
    std::lock_guard<std::mutex> lock(receiver->mutex_);
    receiver->bundles_.emplace_back();
    return 0;
  }
  static int message(const char* path, const char*, lo_arg** argv, int, lo_message, void* self) {
    auto* receiver = static_cast<Receiver*>(self);
    std::lock_guard<std::mutex> lock(receiver->mutex_);
    if (!receiver->bundles_.empty()) receiver->bundles_.back().emplace_back(path, argv[0]->f);
    return 0;
  }
  lo_server_thread thread_;
  std::mutex mutex_;
  std::vector<std::vector<std::pair<std::string, float>>> bundles_;
};

TEST_F(OSCOutputTest, ALoopbackListenerGetsOneBundleATickUntilThePortIsDeleted) {
  Receiver receiver;
  const auto port = osc->createNewOutputToAddress(QStringLiteral("127.0.0.1"), receiver.port(),
                                                  QStringLiteral("Listener"));
  MainThread::processUntil([] { return false; }, 0.05);  // the port list follows
  output->createItem();
  auto a = addSource(QStringLiteral("a"));
  auto b = addSource(QStringLiteral("b"));
  bind(0, QStringLiteral("a"));
  bind(1, QStringLiteral("b"));
  dsc.threadProc();  // the values the subscriptions started with: no port yet
  output->choosePort(QStringLiteral("Listener"));
  ASSERT_EQ(output->outPort(), port);
  a->setValue(0.25f);  // chosen: every row's next value goes, unchanged too
  b->setValue(0.0f);
  dsc.threadProc();
  dsc.threadProc();  // nothing queued: nothing sent
  a->setValue(1.0f);
  dsc.threadProc();
  ASSERT_TRUE(waitFor([&] { return receiver.count() >= 2; }));
  using Bundle = std::vector<std::pair<std::string, float>>;
  EXPECT_EQ(receiver.take(),
            (std::vector<Bundle>{{{"/ZAPH/1", 0.25f}, {"/ZAPH/2", 0.0f}}, {{"/ZAPH/1", 1.0f}}}));

  if (QKWindow* window = output->window()) {
    window->show();
    saveScreenshot(window->grab().toImage(), QStringLiteral("osc-output"));
  }

  osc->removeOutput(port);
  EXPECT_EQ(output->outPort(), nullptr);  // at once
  MainThread::processUntil([&] { return output->outputPortName().isEmpty(); }, 2.0);
  EXPECT_EQ(output->destinationButton()->titleOfSelectedItem(), OutputPlugin::kNone);
}

}  // namespace
