#include "ui/ole.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>

namespace ui {
namespace {

// The text and code OleCheck raises for `hr`, or "" when it does not raise.
std::pair<std::string, long> Raised(win::HRESULT hr) {
  try {
    OleCheck(hr);
  } catch (const EOleSysError& e) {
    return {e.what(), e.ErrorCode};
  }
  return {"", 0};
}

class OleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(win::SUCCEEDED(win::CoInitialize(nullptr))); }
  void TearDown() override {
    win::CoUninitialize();
    EXPECT_EQ(win::LiveComObjects(), 0);
  }
};

TEST(OleCheck, RaisesTheSystemTextOrTheCode) {
  struct Case {
    win::HRESULT hr;
    const char* text;  // "" : no raise
  };
  const Case cases[] = {
      {win::S_OK, ""},
      {win::S_FALSE, ""},
      {win::CO_E_NOTINITIALIZED, "CoInitialize has not been called."},
      {win::E_NOINTERFACE, "No such interface supported"},
      {win::REGDB_E_CLASSNOTREG, "Class not registered"},
      {win::HRESULT_FROM_WIN32(win::ERROR_PATH_NOT_FOUND), "The system cannot find the path specified."},
      {win::MakeHresult(0x8000DEAD), "OLE error 8000dead"},
      {win::MakeHresult(0x800A0001), "OLE error 800a0001"},
  };
  for (const Case& c : cases) {
    auto [text, code] = Raised(c.hr);
    EXPECT_EQ(text, c.text);
    if (*c.text) {
      EXPECT_EQ(code, c.hr) << c.text;
    }
  }
}

TEST(OleCheck, CreatingBeforeCoInitializeRaises) {
  std::string text;
  long code = 0;
  std::thread fresh([&] {  // a thread of its own has never been initialised
    try {
      CreateComObject(win::CLSID_ShellLink);
    } catch (const EOleSysError& e) {
      text = e.what();
      code = e.ErrorCode;
    }
  });
  fresh.join();
  EXPECT_EQ(text, "CoInitialize has not been called.");
  EXPECT_EQ(code, win::CO_E_NOTINITIALIZED);
  EXPECT_EQ(win::LiveComObjects(), 0);
}

TEST_F(OleTest, RefusedInterfaceRaisesAndLeaksNothing) {
  ComPtr<win::IUnknown> object = CreateComObject(win::CLSID_ShellLink);
  constexpr win::IID kOther = {0x00000109, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  for (win::IUnknown* asked : {object.get(), static_cast<win::IUnknown*>(nullptr)}) {
    try {
      QueryInterfaceOrRaise<win::IPersistFile>(asked, kOther);
      ADD_FAILURE() << "no exception";
    } catch (const EIntfCastError& e) {
      EXPECT_STREQ(e.what(), "Interface not supported");
    }
  }
  ComPtr<win::IPersistFile> file;
  file.Attach(QueryInterfaceOrRaise<win::IPersistFile>(object.get(), win::IID_IPersistFile));
  win::CLSID class_id{};
  EXPECT_EQ(file->GetClassID(&class_id), win::S_OK);
  EXPECT_EQ(class_id, win::CLSID_ShellLink);
  object.reset();
  EXPECT_EQ(win::LiveComObjects(), 1);  // the interface asked for holds its own reference
  file.reset();
  EXPECT_EQ(win::LiveComObjects(), 0);
}

// The shape the installer keeps its shortcut object in: one object under three interfaces.
struct Refs {
  ComPtr<win::IUnknown> object;
  ComPtr<win::IShellLinkA> shell_link;
  ComPtr<win::IPersistFile> persist_file;
};

Refs NewShortcut() {
  Refs refs;
  refs.object = CreateComObject(win::CLSID_ShellLink);
  refs.shell_link.Attach(QueryInterfaceOrRaise<win::IShellLinkA>(refs.object.get(), win::IID_IShellLinkA));
  refs.persist_file.Attach(
      QueryInterfaceOrRaise<win::IPersistFile>(refs.object.get(), win::IID_IPersistFile));
  return refs;
}

TEST_F(OleTest, StoringTheNextObjectReleasesThePrevious) {
  Refs kept = NewShortcut();
  ASSERT_EQ(kept.shell_link->SetPath("C:\\first.exe"), win::S_OK);
  EXPECT_EQ(win::LiveComObjects(), 1);
  kept = NewShortcut();
  EXPECT_EQ(win::LiveComObjects(), 1);
  char path[16] = "unchanged";
  EXPECT_EQ(kept.shell_link->GetPath(path, sizeof path, nullptr, 0), win::S_FALSE);  // the new, empty one

  ComPtr<win::IShellLinkA> copy = kept.shell_link;  // a copy holds a reference of its own
  kept = Refs{};
  EXPECT_EQ(win::LiveComObjects(), 1);
  const ComPtr<win::IShellLinkA>& same = copy;
  copy = same;  // storing what is already held keeps it
  EXPECT_EQ(win::LiveComObjects(), 1);
  ComPtr<win::IShellLinkA> moved = std::move(copy);
  EXPECT_FALSE(copy);
  EXPECT_EQ(win::LiveComObjects(), 1);
  win::IShellLinkA* detached = moved.Detach();
  EXPECT_FALSE(moved);
  EXPECT_EQ(detached->Release(), 0u);
  EXPECT_EQ(win::LiveComObjects(), 0);
}

}  // namespace
}  // namespace ui
