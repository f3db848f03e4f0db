#include "win/com.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/temp_root.h"

namespace {

using win::HRESULT;

// Runs `body` on a thread of its own, so that its CoInitialize count starts at zero.
template <class Body>
void OnFreshThread(Body body) {
  std::thread thread(body);
  thread.join();
}

// Keeps this thread initialised for one test.
class ComTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(win::SUCCEEDED(win::CoInitialize(nullptr))); }
  void TearDown() override {
    win::CoUninitialize();
    EXPECT_EQ(win::LiveComObjects(), 0);
  }
};

TEST(ComInitialisation, CreationNeedsCoInitializeOnTheCallingThread) {
  OnFreshThread([] {
    void* object = &object;
    EXPECT_EQ(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER,
                                    win::IID_IUnknown, &object),
              win::CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);

    EXPECT_EQ(win::CoInitialize(nullptr), win::S_OK);
    EXPECT_EQ(win::CoInitialize(nullptr), win::S_FALSE);
    win::CoUninitialize();  // one of two: still initialised
    ASSERT_EQ(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER,
                                    win::IID_IUnknown, &object),
              win::S_OK);
    static_cast<win::IUnknown*>(object)->Release();

    // Another thread is not initialised by this one.
    OnFreshThread([] {
      void* other = nullptr;
      EXPECT_EQ(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER,
                                      win::IID_IUnknown, &other),
                win::CO_E_NOTINITIALIZED);
    });

    win::CoUninitialize();
    EXPECT_EQ(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER,
                                    win::IID_IUnknown, &object),
              win::CO_E_NOTINITIALIZED);
    win::CoUninitialize();  // unbalanced: ignored
    EXPECT_EQ(win::CoInitialize(nullptr), win::S_OK);
    win::CoUninitialize();
  });
  EXPECT_EQ(win::LiveComObjects(), 0);
}

TEST_F(ComTest, CreationFailuresLeaveNoObject) {
  constexpr win::CLSID kUnknownClass = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
  constexpr win::IID kUnknownInterface = {0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  win::IUnknown* outer = nullptr;
  void* some_object = nullptr;
  ASSERT_EQ(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER, win::IID_IUnknown,
                                  &some_object),
            win::S_OK);
  outer = static_cast<win::IUnknown*>(some_object);

  struct Case {
    const char* what;
    win::CLSID class_id;
    bool aggregate;
    win::DWORD context;
    win::IID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {"unknown class", kUnknownClass, false, win::CLSCTX_INPROC_SERVER, win::IID_IUnknown,
       win::REGDB_E_CLASSNOTREG},
      {"class not served out of process", win::CLSID_ShellLink, false, win::CLSCTX_LOCAL_SERVER,
       win::IID_IUnknown, win::REGDB_E_CLASSNOTREG},
      {"aggregation", win::CLSID_ShellLink, true, win::CLSCTX_INPROC_SERVER, win::IID_IUnknown,
       win::CLASS_E_NOAGGREGATION},
      {"unknown interface", win::CLSID_ShellLink, false, win::CLSCTX_INPROC_SERVER, kUnknownInterface,
       win::E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    void* object = &object;
    EXPECT_EQ(win::CoCreateInstance(c.class_id, c.aggregate ? outer : nullptr, c.context, c.iid, &object),
              c.expected)
        << c.what;
    EXPECT_EQ(object, nullptr) << c.what;
    EXPECT_EQ(win::LiveComObjects(), 1) << c.what;  // only `outer`
  }
  EXPECT_EQ(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER, win::IID_IUnknown,
                                  nullptr),
            win::E_POINTER);
  outer->Release();
}

TEST_F(ComTest, ObjectLivesUntilItsLastReleaseWhicheverInterfaceHoldsIt) {
  void* raw = nullptr;
  ASSERT_EQ(
      win::CoCreateInstance(win::CLSID_ShellLink, nullptr,
                            win::CLSCTX_INPROC_SERVER | win::CLSCTX_LOCAL_SERVER, win::IID_IShellLinkA, &raw),
      win::S_OK);
  auto* link = static_cast<win::IShellLinkA*>(raw);
  EXPECT_EQ(win::LiveComObjects(), 1);

  void* persist = nullptr;
  ASSERT_EQ(link->QueryInterface(win::IID_IPersistFile, &persist), win::S_OK);
  auto* file = static_cast<win::IPersistFile*>(persist);
  win::CLSID class_id{};
  EXPECT_EQ(file->GetClassID(&class_id), win::S_OK);
  EXPECT_EQ(class_id, win::CLSID_ShellLink);

  // Both faces are one object: IUnknown is the same pointer from either.
  void* unknown_a = nullptr;
  void* unknown_b = nullptr;
  ASSERT_EQ(link->QueryInterface(win::IID_IUnknown, &unknown_a), win::S_OK);
  ASSERT_EQ(file->QueryInterface(win::IID_IUnknown, &unknown_b), win::S_OK);
  EXPECT_EQ(unknown_a, unknown_b);
  auto* unknown = static_cast<win::IUnknown*>(unknown_a);
  EXPECT_EQ(unknown->Release(), 3u);  // link, file, and the other IUnknown are left
  EXPECT_EQ(unknown->Release(), 2u);

  void* refused = &refused;
  EXPECT_EQ(file->QueryInterface(win::GUID{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}}, &refused),
            win::E_NOINTERFACE);
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(link->AddRef(), 3u);
  EXPECT_EQ(link->Release(), 2u);

  EXPECT_EQ(link->Release(), 1u);
  EXPECT_EQ(win::LiveComObjects(), 1);  // the IPersistFile reference keeps it
  EXPECT_EQ(file->Release(), 0u);
  EXPECT_EQ(win::LiveComObjects(), 0);
}

TEST_F(ComTest, ShellLinkSettersCheckTheirArguments) {
  testing_support::TempRoot root;  // paths resolve against a system root
  void* raw = nullptr;
  ASSERT_EQ(win::CoCreateInstance(win::CLSID_ShellLink, nullptr, win::CLSCTX_INPROC_SERVER,
                                  win::IID_IShellLinkA, &raw),
            win::S_OK);
  auto* link = static_cast<win::IShellLinkA*>(raw);
  char buffer[8] = "unused";
  EXPECT_EQ(link->GetPath(buffer, sizeof buffer, nullptr, 0), win::S_FALSE);  // no target yet
  EXPECT_STREQ(buffer, "");

  std::string longest = "C:\\" + std::string(256, 'a');  // 259 characters: the most a path can have
  EXPECT_EQ(link->SetPath(longest.c_str()), win::S_OK);
  EXPECT_EQ(link->SetPath((longest + "b").c_str()), win::E_INVALIDARG);
  EXPECT_EQ(link->SetPath("C:\\a|b"), win::E_INVALIDARG);
  EXPECT_EQ(link->SetPath(nullptr), win::E_INVALIDARG);
  EXPECT_EQ(link->SetArguments(std::string(0x10000, 'x').c_str()), win::E_INVALIDARG);
  EXPECT_EQ(link->SetDescription(nullptr), win::E_INVALIDARG);

  // The refused calls kept the last good target; a short buffer gets as much as fits.
  EXPECT_EQ(link->GetPath(buffer, sizeof buffer, nullptr, 0), win::S_OK);
  EXPECT_STREQ(buffer, "C:\\aaaa");
  EXPECT_EQ(link->GetPath(nullptr, 8, nullptr, 0), win::E_INVALIDARG);

  EXPECT_EQ(link->SetPath("C:/Program Files/./Vantiro/../Vantiro/vantro.exe"), win::S_OK);
  char full[260];
  EXPECT_EQ(link->GetPath(full, sizeof full, nullptr, 0), win::S_OK);
  EXPECT_STREQ(full, "C:\\Program Files\\Vantiro\\vantro.exe");
  link->Release();
}

TEST(ComMessages, SystemTextsForTheCodesOfThisLayer) {
  struct Case {
    HRESULT hr;
    const char* text;
  };
  const Case cases[] = {
      {win::E_NOINTERFACE, "No such interface supported"},
      {win::CO_E_NOTINITIALIZED, "CoInitialize has not been called."},
      {win::REGDB_E_CLASSNOTREG, "Class not registered"},
      {win::CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)"},
      {win::E_FAIL, "Unspecified error"},
      {win::E_POINTER, "Invalid pointer"},
      {win::E_INVALIDARG, "The parameter is incorrect."},
      {win::E_ACCESSDENIED, "Access is denied."},
      {win::HRESULT_FROM_WIN32(win::ERROR_PATH_NOT_FOUND), "The system cannot find the path specified."},
      {win::HRESULT_FROM_WIN32(win::ERROR_DISK_FULL), "There is not enough space on the disk."},
      {static_cast<HRESULT>(win::ERROR_FILE_NOT_FOUND), "The system cannot find the file specified."},
      {win::MakeHresult(0x8000DEAD), ""},
      {win::MakeHresult(0x8007DEAD), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(win::SystemErrorMessage(c.hr), c.text) << std::hex << c.hr;
  EXPECT_EQ(win::HRESULT_FROM_WIN32(win::ERROR_ACCESS_DENIED), win::E_ACCESSDENIED);
  EXPECT_EQ(win::HRESULT_FROM_WIN32(0), win::S_OK);
}

}  // namespace
