// The server's exports, factories, object lifetime and interface maps.

#include <gtest/gtest.h>

#include <atomic>

#include "shellext/tests/ShellExtFixture.h"

using namespace quarva::com;

namespace quarva::shellext::testing {

class ServerTest : public ShellExtTest {};

TEST_F(ServerTest, ExportsExactlyTheFourEntryPoints) {
    if (!quarva::testing::haveTool("nm")) GTEST_SKIP() << "nm is not installed";
    std::string out;
    ASSERT_EQ(quarva::testing::runCommand(std::string("nm -D --defined-only '") + QZIPSHELL_LIBRARY +
                                              "' | awk '$2 ~ /^[TDBRVWiu]$/ {print $3}' | sort",
                                          &out),
              0);
    EXPECT_EQ(out, "DllCanUnloadNow\nDllGetClassObject\nDllRegisterServer\nDllUnregisterServer\n");
}

TEST_F(ServerTest, UnknownClassesAndZipPropAreNotAvailable) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(server().getClassObject(CLSID_ZipProp, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(server().getClassObject(IID_IZipContext, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(server().getClassObject(CLSID_ZipContext, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ServerTest, FactoryAnswersOnlyItsInterfaces) {
    void* p = nullptr;
    EXPECT_EQ(server().getClassObject(CLSID_ZipInfo, IID_IContextMenu, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    IUnknown* unk = nullptr;
    ASSERT_EQ(server().getClassObject(CLSID_ZipInfo, IID_IUnknown, reinterpret_cast<void**>(&unk)), S_OK);
    unk->Release();
}

TEST_F(ServerTest, CanUnloadOnlyWhenNoObjectLives) {
    ASSERT_EQ(server().canUnloadNow(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(server().getClassObject(CLSID_ZipContext, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    factory->Release();
    EXPECT_EQ(server().canUnloadNow(), S_FALSE);
    menu->AddRef();
    menu->Release();
    EXPECT_EQ(server().canUnloadNow(), S_FALSE);
    menu->Release();
    EXPECT_EQ(server().canUnloadNow(), S_OK);
}

TEST_F(ServerTest, LockServerKeepsTheModuleAndAHeldFactoryToo) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(server().getClassObject(CLSID_ZipDrop, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(server().canUnloadNow(), S_FALSE);
    ASSERT_EQ(factory->LockServer(1), S_OK);
    factory->Release();
    EXPECT_EQ(server().canUnloadNow(), S_FALSE);
    ASSERT_EQ(server().getClassObject(CLSID_ZipDrop, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(factory->LockServer(0), S_OK);
    factory->Release();
    EXPECT_EQ(server().canUnloadNow(), S_OK);
}

TEST_F(ServerTest, FailedQueryDestroysTheNewObject) {
    void* p = reinterpret_cast<void*>(1);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(server().getClassObject(CLSID_ZipSearch, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IQueryInfo, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    factory->Release();
    EXPECT_EQ(server().canUnloadNow(), S_OK);
}

struct MapCase {
    const CLSID* clsid;
    std::vector<const IID*> answered;
    std::vector<const IID*> refused;
};

TEST_F(ServerTest, EveryClassAnswersItsInterfaceMap) {
    const std::vector<MapCase> cases = {
        {&CLSID_ZipContext,
         {&IID_IZipContext, &IID_IDispatch, &IID_IShellExtInit, &IID_IContextMenu},
         {&IID_IDropTarget, &IID_IPersistFile, &IID_IQueryInfo, &IID_IZipDrag}},
        {&CLSID_ZipDrag,
         {&IID_IZipDrag, &IID_IDispatch, &IID_IShellExtInit, &IID_IContextMenu},
         {&IID_IZipContext, &IID_IDropTarget, &IID_IQueryInfo}},
        {&CLSID_ZipDrop,
         {&IID_IZipDrop, &IID_IDispatch, &IID_IPersistFile, &IID_IDropTarget},
         {&IID_IContextMenu, &IID_IShellExtInit, &IID_IQueryInfo}},
        {&CLSID_ZipSearch,
         {&IID_IZipSearch, &IID_IDispatch, &IID_IContextMenu},
         {&IID_IShellExtInit, &IID_IPersistFile, &IID_IDropTarget}},
        {&CLSID_ZipInfo,
         {&IID_IZipInfo, &IID_IDispatch, &IID_IPersistFile, &IID_IQueryInfo},
         {&IID_IContextMenu, &IID_IDropTarget, &IID_IShellExtInit}},
    };
    for (const auto& c : cases) {
        IUnknown* unk = create<IUnknown>(*c.clsid, IID_IUnknown);
        ASSERT_NE(unk, nullptr);
        for (const IID* iid : c.answered) {
            IUnknown* p = nullptr;
            EXPECT_EQ(unk->QueryInterface(*iid, reinterpret_cast<void**>(&p)), S_OK) << guidToString(*iid);
            // Identity: every interface leads back to the same IUnknown.
            IUnknown* back = nullptr;
            ASSERT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
            EXPECT_EQ(back, unk);
            back->Release();
            p->Release();
        }
        for (const IID* iid : c.refused) {
            void* p = reinterpret_cast<void*>(1);
            EXPECT_EQ(unk->QueryInterface(*iid, &p), E_NOINTERFACE) << guidToString(*iid);
            EXPECT_EQ(p, nullptr);
        }
        unk->Release();
    }
    EXPECT_EQ(server().canUnloadNow(), S_OK);
}

TEST_F(ServerTest, DispatchPartHasNoMembers) {
    IDispatch* d = create<IDispatch>(CLSID_ZipContext, IID_IDispatch);
    UINT count = 7;
    EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    DISPID id = 0;
    OLECHAR name[] = u"Anything";
    OLECHAR* names[] = {name};
    EXPECT_EQ(d->GetIDsOfNames(IID_IUnknown, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    d->Release();
}

// A controlling object that aggregates a handler.
class Outer final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    std::atomic<ULONG> refs{1};
    IUnknown* inner = nullptr;
};

TEST_F(ServerTest, AggregatedObjectDelegatesToItsOuter) {
    Outer outer;
    IClassFactory* factory = nullptr;
    ASSERT_EQ(server().getClassObject(CLSID_ZipInfo, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IQueryInfo, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    factory->Release();

    IQueryInfo* info = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IQueryInfo, reinterpret_cast<void**>(&info)), S_OK);
    EXPECT_EQ(outer.refs.load(), 2u);  // the interface's reference is the outer's
    IUnknown* identity = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    info->Release();
    EXPECT_EQ(outer.refs.load(), 1u);
    EXPECT_EQ(server().canUnloadNow(), S_FALSE);
    outer.inner->Release();
    EXPECT_EQ(server().canUnloadNow(), S_OK);
}

}  // namespace quarva::shellext::testing
