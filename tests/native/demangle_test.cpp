#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>

#include "analyzer/Demangle.h"

namespace {

struct DemangleCase {
    std::string_view mangled, printed;
};

// Each name with what avr-nm -C of Debian's binutils-avr 2.26 (the AVR toolchain's binutils) prints
// for it, taken from that tool: names avr-gcc gives game code, the Arduino core and avr-libc, and
// the forms around them that binutils leaves as they are.
TEST(DemangledName, NamesEachFormAsAvrNmDoes)
{
    const DemangleCase cases[] = {
        // Names that are not mangled C++ stay as they are
        { "main", "main" },
        { "__vector_23", "__vector_23" },
        { "__do_copy_data", "__do_copy_data" },
        { "_GLOBAL__sub_I__cdcInterface", "_GLOBAL__sub_I__cdcInterface" },
        { "_GLOBAL__sub_I_65535_0_Game.ino.cpp.o", "_GLOBAL__sub_I_65535_0_Game.ino.cpp.o" },
        { "_Z", "_Z" },
        { "_ZN", "_ZN" },
        { "_Z4fill", "fill" },
        // Cut short, or referring to what is not there
        { "_ZN4game6Player", "_ZN4game6Player" },
        { "_Z4fillhhhh.", "_Z4fillhhhh." },
        { "_ZZ4loopE", "_ZZ4loopE" },
        { "_ZTV", "_ZTV" },
        { "_ZThn4_", "_ZThn4_" },
        { "_ZN4game4PoolIhLh4E", "_ZN4game4PoolIhLh4E" },
        { "_ZN4game4Vec2C", "_ZN4game4Vec2C" },
        { "_Z3sumRA3_", "_Z3sumRA3_" },
        { "_Z7onEventPFvv", "_Z7onEventPFvv" },
        { "_ZN4game8dispatchIXadL_ZNS_4beepEhEEE", "_ZN4game8dispatchIXadL_ZNS_4beepEhEEE" },
        { "_Z4fillS_", "_Z4fillS_" },
        { "_Z4fillS0_", "_Z4fillS0_" },
        { "_ZN4game4Vec2cv", "_ZN4game4Vec2cv" },
        // Functions of builtin types
        { "_Z4fillhhhh", "fill(unsigned char, unsigned char, unsigned char, unsigned char)" },
        { "_Z5setupv", "setup()" },
        { "_Z10mixedTypesastlmxyfdbwDsDiDnz",
          "mixedTypes(signed char, short, unsigned short, long, unsigned long, long long, unsigned long long, float, double, bool, wchar_t, char16_t, char32_t, decltype(nullptr), ...)" },
        { "_Z4plotaln", "plot(signed char, long, __int128)" },
        { "_Z3absge", "abs(__float128, long double)" },
        // Nested names, static functions, member functions' qualifiers
        { "_ZN5Scene4drawEv", "Scene::draw()" },
        { "_ZN4game6Player6updateEh", "game::Player::update(unsigned char)" },
        { "_ZNK4game6Entity4drawEPh", "game::Entity::draw(unsigned char*) const" },
        { "_ZNV4game6Player4moveEaa", "game::Player::move(signed char, signed char) volatile" },
        { "_ZNKR4game6Player5livesEv", "game::Player::lives() const &" },
        { "_ZNO4game6Player5livesEv", "game::Player::lives() &&" },
        { "_ZNVK3Pad4readEv", "Pad::read() const volatile" },
        { "_ZL11SendControlh", "SendControl(unsigned char)" },
        { "_ZL10levelTable", "levelTable" },
        { "_ZN12_GLOBAL__N_16secretEh", "(anonymous namespace)::secret(unsigned char)" },
        { "_ZN4game2v27versionEv", "game::v2::version()" },
        { "_ZN4game3LcdB2hw5clearEv", "game::Lcd[abi:hw]::clear()" },
        { "_ZN4game7makeLcdB2hwEv", "game::makeLcd[abi:hw]()" },
        // Constructors and destructors
        { "_ZN4game6PlayerC1Ev", "game::Player::Player()" },
        { "_ZN4game6PlayerC2Ev", "game::Player::Player()" },
        { "_ZN4game6PlayerD0Ev", "game::Player::~Player()" },
        { "_ZN4game6PlayerD1Ev", "game::Player::~Player()" },
        { "_ZN4game6PlayerD2Ev", "game::Player::~Player()" },
        { "_ZN4game4Vec2C2ERKS0_", "game::Vec2::Vec2(game::Vec2 const&)" },
        { "_ZN4game4Vec2C1EOS0_", "game::Vec2::Vec2(game::Vec2&&)" },
        { "_ZN4game4PoolIhLh4EEC2Ev", "game::Pool<unsigned char, (unsigned char)4>::Pool()" },
        { "_ZN4game4PoolI1XLh4EED1Ev", "game::Pool<X, (unsigned char)4>::~Pool()" },
        { "_ZN4game3LcdB2hwC1Ev", "game::Lcd[abi:hw]::Lcd()" },
        { "_ZNSaIcEC1Ev", "std::allocator<char>::allocator()" },
        { "_ZNSsC1Ev", "std::basic_string<char, std::char_traits<char>, std::allocator<char> >::basic_string()" },
        { "_ZNSsD2Ev", "std::basic_string<char, std::char_traits<char>, std::allocator<char> >::~basic_string()" },
        { "_ZN1AC3Ev", "A::A()" },
        { "_ZN1AD3Ev", "_ZN1AD3Ev" },
        // Operators
        { "_Znwj", "operator new(unsigned int)" },
        { "_Znaj", "operator new[](unsigned int)" },
        { "_ZnwjPv", "operator new(unsigned int, void*)" },
        { "_ZdlPv", "operator delete(void*)" },
        { "_ZdlPvj", "operator delete(void*, unsigned int)" },
        { "_ZdaPv", "operator delete[](void*)" },
        { "_ZN4game4Vec2nwEj", "game::Vec2::operator new(unsigned int)" },
        { "_ZN4game4Vec2dlEPv", "game::Vec2::operator delete(void*)" },
        { "_ZN4game4Vec2aSERKS0_", "game::Vec2::operator=(game::Vec2 const&)" },
        { "_ZNK4game4Vec2plERKS0_", "game::Vec2::operator+(game::Vec2 const&) const" },
        { "_ZNK4game4Vec2ngEv", "game::Vec2::operator-() const" },
        { "_ZN4game4Vec2pLES0_", "game::Vec2::operator+=(game::Vec2)" },
        { "_ZNK4game4Vec2eqERKS0_", "game::Vec2::operator==(game::Vec2 const&) const" },
        { "_ZNK4game4Vec2ltERKS0_", "game::Vec2::operator<(game::Vec2 const&) const" },
        { "_ZN4game4Vec2ixEh", "game::Vec2::operator[](unsigned char)" },
        { "_ZNK4game4Vec2clEa", "game::Vec2::operator()(signed char) const" },
        { "_ZNK4game4Vec2cvbEv", "game::Vec2::operator bool() const" },
        { "_ZNK4game4Vec2cviEv", "game::Vec2::operator int() const" },
        { "_ZN4game4Vec2ppEi", "game::Vec2::operator++(int)" },
        { "_ZNK4game4Vec2lsEh", "game::Vec2::operator<<(unsigned char) const" },
        { "_ZNK4game4Vec2pmEMS0_a", "game::Vec2::operator->*(signed char game::Vec2::*) const" },
        { "_ZN4gamemlEaRKNS_4Vec2E", "game::operator*(signed char, game::Vec2 const&)" },
        { "_ZN4game4Vec2cmES0_", "game::Vec2::operator,(game::Vec2)" },
        { "_ZN4game4Vec2ptEv", "game::Vec2::operator->()" },
        { "_ZN4game4Vec2ltIiEEbv", "bool game::Vec2::operator< <int>()" },
        { "_ZN4game4Vec2cvPT_IcEEv", "game::Vec2::operator char*<char>()" },
        { "_ZN4game4PoolIhLh4EEcvPNS0_IT_Lh4EEEIaEEv",
          "game::Pool<unsigned char, (unsigned char)4>::operator game::Pool<signed char, (unsigned char)4>*<signed char>()" },
        { "_Zli2_kmy", "operator\"\" _k(unsigned long, unsigned long long)" },
        { "_ZN4game4Vec2v14lerpEv", "game::Vec2::operator lerp()" },
        { "_ZN1AssEv", "_ZN1AssEv" },
        // Qualifiers, pointers, references, arrays
        { "_Z4blitPKhPVhRKS_", "blit(unsigned char const*, unsigned char volatile*, unsigned char const&)" },
        { "_ZN4game8readPortEPVKhRVh", "game::readPort(unsigned char const volatile*, unsigned char volatile&)" },
        { "_Z3sumRA3_i", "sum(int (&) [3])" },
        { "_Z4rowsPA16_h", "rows(unsigned char (*) [16])" },
        { "_ZN4game9fillTableERA4_A8_h", "game::fillTable(unsigned char (&) [4][8])" },
        { "_Z4cellKA3_i", "cell(int const [3])" },
        { "_Z4cellVKA3_A4_i", "cell(int const volatile [3][4])" },
        { "_Z5paintPKPKc", "paint(char const* const*)" },
        { "_Z4takeOi", "take(int&&)" },
        { "_Z4swapRiS_", "swap(int&, int&)" },
        { "_Z3ptrM4GameKFvhE", "ptr(void (Game::*)(unsigned char) const)" },
        { "_Z3ptrM4Gamea", "ptr(signed char Game::*)" },
        { "_Z4flagrVKPi", "flag(int* const volatile restrict)" },
        { "_Z4waveCf", "wave(floatcomplex )" },
        // Function pointers
        { "_ZN4game10setHandlerEPFvhES1_", "game::setHandler(void (*)(unsigned char), void (*)(unsigned char))" },
        { "_ZN4game9pickerForEPFPFhPKhhEhEh",
          "game::pickerFor(unsigned char (*(*)(unsigned char))(unsigned char const*, unsigned char), unsigned char)" },
        { "_ZN4game3actEPNS_6PlayerEMS0_FvhEMNS0_9InventoryEKFhRKS0_E",
          "game::act(game::Player*, void (game::Player::*)(unsigned char), unsigned char (game::Player::Inventory::*)(game::Player const&) const)" },
        { "_Z7onEventPKFvvE", "onEvent(void (*)() const)" },
        { "_Z6handleRFvvE", "handle(void (&)())" },
        { "_Z5tableA4_PFviE", "table(void (* [4])(int))" },
        { "_Z8callbackIiEPFvT_EPKc", "void (*callback<int>(char const*))(int)" },
        { "_Z6chooseIiEPFPFvvEcEv", "void (*(*choose<int>())(char))()" },
        // Substitutions
        { "_Z3mixSt6vectorIiSaIiEES0_", "mix(std::vector<int, std::allocator<int> >, std::allocator<int>)" },
        { "_ZNSt6vectorIiSaIiEE9push_backERKi", "std::vector<int, std::allocator<int> >::push_back(int const&)" },
        { "_ZNSbIcSt11char_traitsIcESaIcEE6appendEPKc",
          "std::basic_string<char, std::char_traits<char>, std::allocator<char> >::append(char const*)" },
        { "_ZNKSs4sizeEv", "std::string::size() const" },
        { "_ZNSi4readEPci", "std::istream::read(char*, int)" },
        { "_ZNSolsEi", "std::ostream::operator<<(int)" },
        { "_ZNSdD0Ev", "std::basic_iostream<char, std::char_traits<char> >::~basic_iostream()" },
        { "_ZSt4cout", "std::cout" },
        { "_ZNSt8ios_base4InitC1Ev", "std::ios_base::Init::Init()" },
        { "_ZN4game4PoolIPNS0_IhLh2EEELh2EEixEh",
          "game::Pool<game::Pool<unsigned char, (unsigned char)2>*, (unsigned char)2>::operator[](unsigned char)" },
        { "_ZNK4game6Player9Inventory5slotsERKS0_", "game::Player::Inventory::slots(game::Player const&) const" },
        { "_ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEC1Ev",
          "std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >::basic_string()" },
        { "_ZNSaB5cxx11IcE3fooEv", "std::allocator[abi:cxx11]<char>::foo()" },
        // Template arguments and parameters
        { "_ZN4game10clampValueIaEET_S1_S1_S1_",
          "signed char game::clampValue<signed char>(signed char, signed char, signed char)" },
        { "_Z16templatedCounterIhEhT_", "unsigned char templatedCounter<unsigned char>(unsigned char)" },
        { "_ZN4game9forwardItINS_4Vec2EEEOT_RS2_", "game::Vec2&& game::forwardIt<game::Vec2>(game::Vec2&)" },
        { "_ZN4game4takeIRNS_4Vec2EEEvOT_", "void game::take<game::Vec2&>(game::Vec2&)" },
        { "_ZN4game4takeINS_4Vec2EEEvOT_", "void game::take<game::Vec2>(game::Vec2&&)" },
        { "_Z1fIRiEvRT_", "void f<int&>(int&)" },
        { "_Z1fIKiEvRKT_", "void f<int const>(int const&)" },
        { "_Z1fIVKiEvRKT_", "void f<int const volatile>(int volatile const&)" },
        { "_ZN4game11boxCapacityINS_4PoolEhEEhRKT_IT0_Lh4EE",
          "unsigned char game::boxCapacity<game::Pool, unsigned char>(game::Pool<unsigned char, (unsigned char)4> const&)" },
        { "_ZN4game10countPartsIJicdPKcEEEhDpT_",
          "unsigned char game::countParts<int, char, double, char const*>(int, char, double, char const*)" },
        { "_ZN4game10countPartsIIicdPKcEEEhDpT_",
          "unsigned char game::countParts<int, char, double, char const*>(int, char, double, char const*)" },
        { "_ZN4game10countPartsIJEEEhDpT_", "unsigned char game::countParts<>()" },
        { "_ZN4game7sendAllIJNS_4Vec2EiA3_cEEEvDpRKT_",
          "void game::sendAll<game::Vec2, int, char [3]>(game::Vec2 const&, int const&, char const (&) [3])" },
        { "_ZN4game4ListINS_4NodeENS_5AllocIS1_JEEEJEE4pushERS1_",
          "game::List<game::Node, game::Alloc<game::Node>>::push(game::Node&)" },
        { "_Z1fIiJEcEvv", "void f<int, , char>()" },
        { "_ZN4game10textLengthILj6EEEjRAT__Kc", "unsigned int game::textLength<6u>(char const (&) [6u])" },
        { "_ZN4game3mixIhiEEDTplfp_fp0_ET_T0_",
          "decltype ({parm#1}+{parm#2}) game::mix<unsigned char, int>(unsigned char, int)" },
        // Literals as template arguments
        { "_ZN4game8writePinILh13ELb1EEEvv", "void game::writePin<(unsigned char)13, true>()" },
        { "_ZN4game8writePinILh2ELb0EEEvv", "void game::writePin<(unsigned char)2, false>()" },
        { "_ZN4game5glyphILc65ELan3ELj1000ELln70000ELm70000ELx5000000000EEEcv",
          "char game::glyph<(char)65, (signed char)-3, 1000u, -70000l, 70000ul, 5000000000ll>()" },
        { "_Z4tuneILi5ELin5ELy7ELs3ELt4ELb2ELw65EEvv",
          "void tune<5, -5, 7ull, (short)3, (unsigned short)4, (bool)2, (wchar_t)65>()" },
        { "_Z4tuneILf40a00000EEvv", "void tune<(float)[40a00000]>()" },
        { "_Z4tuneILDn0EEvv", "void tune<(decltype(nullptr))0>()" },
        { "_ZN4game8dispatchIXadL_ZNS_4beepEhEEEEvh", "void game::dispatch<&game::beep>(unsigned char)" },
        { "_ZN4game11clearBufferIXadL_Z6screenEEEEvv", "void game::clearBuffer<&screen>()" },
        { "_Z4wireIXadL_Z5blinkvEEEvv", "void wire<&(blink())>()" },
        { "_Z4wireIXplLi1ELi2EEEvv", "void wire<(1)+(2)>()" },
        { "_Z4wireIXgtLi1ELi2EEEvv", "void wire<((1)>(2))>()" },
        { "_Z4wireIXngLi1EEEvv", "void wire<-(1)>()" },
        { "_Z4wireIXstiEEvv", "void wire<sizeof (int)>()" },
        { "_Z4wireIXszLi1EEEvv", "void wire<sizeof (1)>()" },
        { "_Z4wireIXquLb1ELi1ELi2EEEvv", "void wire<(true)?(1) : (2)>()" },
        { "_ZN6PinMapIXsrT_5valueEE3getEv", "_ZN6PinMapIXsrT_5valueEE3getEv" },
        { "_ZN4game7PaletteILb1EE5applyEv", "game::Palette<true>::apply()" },
        { "_Z4tuneILbEEvv", "_Z4tuneILbEEvv" },
        // Clone suffixes
        { "_Z4fillhhhh.constprop.0",
          "fill(unsigned char, unsigned char, unsigned char, unsigned char) [clone .constprop.0]" },
        { "_ZL11spriteWidthRK6Sprite.isra.0", "spriteWidth(Sprite const&) [clone .isra.0]" },
        { "_ZL8slowPathh.part.0", "slowPath(unsigned char) [clone .part.0]" },
        { "_ZL7shuffleh.lto_priv.0", "shuffle(unsigned char) [clone .lto_priv.0]" },
        { "_Z13USB_SendSpaceh.constprop.13", "USB_SendSpace(unsigned char) [clone .constprop.13]" },
        { "_ZZ10runLambdashENKUlhE_clEh.isra.2",
          "runLambdas(unsigned char)::{lambda(unsigned char)#1}::operator()(unsigned char) const [clone .isra.2]" },
        { "_Z4fillhhhh.constprop.0.isra.1",
          "fill(unsigned char, unsigned char, unsigned char, unsigned char) [clone .constprop.0] [clone .isra.1]" },
        { "_Z4fillhhhh.cold", "fill(unsigned char, unsigned char, unsigned char, unsigned char) [clone .cold]" },
        { "_Z4fillhhhh.part.0.lto_priv.1",
          "fill(unsigned char, unsigned char, unsigned char, unsigned char) [clone .part.0] [clone .lto_priv.1]" },
        { "_ZL5table.lto_priv.0", "_ZL5table.lto_priv.0" },
        { "_Z4fillhhhh._0", "_Z4fillhhhh._0" },
        { "_Z4fillhhhh.0a", "_Z4fillhhhh.0a" },
        // Special names
        { "_ZTV7Serial_", "vtable for Serial_" },
        { "_ZTVN4game6PlayerE", "vtable for game::Player" },
        { "_ZTIN4game6PlayerE", "typeinfo for game::Player" },
        { "_ZTSN4game6PlayerE", "typeinfo name for game::Player" },
        { "_ZTIPKc", "typeinfo for char const*" },
        { "_ZTTN4game4RingE", "VTT for game::Ring" },
        { "_ZTCN4game4RingE0_NS_6CircleE", "construction vtable for game::Circle-in-game::Ring" },
        { "_ZThn4_N4game6Player4playEj", "non-virtual thunk to game::Player::play(unsigned int)" },
        { "_ZThn4_N4game6PlayerD1Ev", "non-virtual thunk to game::Player::~Player()" },
        { "_ZTv0_n8_NK4game6Circle4areaEv", "virtual thunk to game::Circle::area() const" },
        { "_ZTv0_n6_N4game6CircleD0Ev", "virtual thunk to game::Circle::~Circle()" },
        { "_ZTch0_h0_N4game5Maker4makeEv", "covariant return thunk to game::Maker::make()" },
        { "_ZTVN10__cxxabiv117__class_type_infoE", "vtable for __cxxabiv1::__class_type_info" },
        { "_ZGVZ12PluggableUSBvE3obj", "guard variable for PluggableUSB()::obj" },
        { "_ZGVZ5themevE6melody", "guard variable for theme()::melody" },
        { "_ZGR5table", "reference temporary #0 for table" },
        { "_ZGR5table_", "_ZGR5table_" },
        { "_ZTH5frame", "TLS init function for frame" },
        { "_ZTW5frame", "TLS wrapper function for frame" },
        { "_ZGTtNSt11logic_errorC1EPKc", "transaction clone for std::logic_error::logic_error(char const*)" },
        { "_GLOBAL__I_setup", "global constructors keyed to setup" },
        { "_GLOBAL__D__Z5setupv", "global destructors keyed to setup()" },
        // Local names
        { "_ZZ4loopE5level", "loop::level" },
        { "_ZZ12PluggableUSBvE3obj", "PluggableUSB()::obj" },
        { "_ZZ12frameCountervE5title", "frameCounter()::title" },
        { "_ZZ16templatedCounterIiEhT_E5total", "unsigned char templatedCounter<int>(int)::total" },
        { "_ZZ10runLambdashEN5Local6tripleEh", "runLambdas(unsigned char)::Local::triple(unsigned char)" },
        { "_ZZ10runLambdashENKUlhE0_clEh",
          "runLambdas(unsigned char)::{lambda(unsigned char)#2}::operator()(unsigned char) const" },
        { "_ZN4game4PoolIhLh4EE7forEachIZ10runLambdashEUlRhhE1_EEvT_",
          "void game::Pool<unsigned char, (unsigned char)4>::forEach<runLambdas(unsigned char)::{lambda(unsigned char&, unsigned char)#3}>(runLambdas(unsigned char)::{lambda(unsigned char&, unsigned char)#3})" },
        { "_ZZ4loopE5level_1", "loop::level" },
        { "_ZZ4drawvEs", "draw()::string literal" },
        { "_ZZ4drawvEs_0", "draw()::string literal" },
        { "_ZZ4drawvEd_NKUlvE_clEv", "draw()::{default arg#1}::{lambda()#1}::operator()() const" },
        { "_ZZ4drawvEd0_N5Saved5countE", "draw()::{default arg#2}::Saved::count" },
        { "_ZN4game6kindOfINS_4TileUt_EEEhT_",
          "unsigned char game::kindOf<game::Tile::{unnamed type#1}>(game::Tile::{unnamed type#1})" },
        { "_ZZ4loopE5level__12_", "_ZZ4loopE5level__12_" },
        { "_ZN1BCI11AEi", "_ZN1BCI11AEi" },
        { "_Z4tileDc", "_Z4tileDc" },
        // What avr-nm keeps around a demangled name: leading dots and dollars, a version suffix
        { "._Z4fillhhhh", ".fill(unsigned char, unsigned char, unsigned char, unsigned char)" },
        { "$_Z4fillhhhh", "$fill(unsigned char, unsigned char, unsigned char, unsigned char)" },
        { "_Z4fillhhhh@plt", "fill(unsigned char, unsigned char, unsigned char, unsigned char)@plt" },
        { "._Z4fillhhhh.constprop.0@@VERS_1",
          ".fill(unsigned char, unsigned char, unsigned char, unsigned char) [clone .constprop.0]@@VERS_1" },
        { ".do_clear_bss_start", ".do_clear_bss_start" },
    };
    for (const DemangleCase& c : cases) {
        SCOPED_TRACE(c.mangled);
        EXPECT_EQ(c.printed, DemangledName(c.mangled));
    }
}

// Every symbol of three real Arduino builds for the Leonardo and of the demangler's own fixture,
// beside what avr-nm -C prints for it (tests/fixtures/symbol-names.sh, run at build time).
TEST(DemangledName, AgreesWithAvrNmOnEverySymbolOfRealBuilds)
{
    std::ifstream in(KEVRA_DEMANGLE_NAMES);
    ASSERT_TRUE(in) << KEVRA_DEMANGLE_NAMES;
    size_t symbols = 0, mangled = 0, demangled = 0;
    bool sawCore = false, sawFixture = false;
    for (std::string line; std::getline(in, line);) {
        const size_t tab = line.find('\t');
        ASSERT_NE(std::string::npos, tab) << line;
        const std::string name = line.substr(0, tab), printed = line.substr(tab + 1);
        SCOPED_TRACE(name);
        EXPECT_EQ(printed, DemangledName(name));
        ++symbols;
        mangled += name.rfind("_Z", 0) == 0;
        demangled += printed != name;
        sawCore = sawCore || printed == "Serial_::write(unsigned char const*, unsigned int)";
        sawFixture = sawFixture || printed == "vtable for game::Player";
    }
    // The list is the builds' and the fixture's, with the C++ names that make it worth reading.
    EXPECT_TRUE(sawCore);
    EXPECT_TRUE(sawFixture);
    EXPECT_GT(mangled, 200u);
    EXPECT_GE(mangled, demangled);
    RecordProperty("symbols", int(symbols));
    RecordProperty("demangled", int(demangled));
}

TEST(DemangledName, ReadsSymbolsUpToItsLimitAndGivesLongerOnesBack)
{
    // _Z<n><n letters>v is the function of that name.
    const std::string atLimit = "_Z4089" + std::string(4089, 'x') + "v";
    ASSERT_EQ(DemangleSymbolLimit, atLimit.size());
    EXPECT_EQ(std::string(4089, 'x') + "()", DemangledName(atLimit));
    const std::string overLimit = "_Z4090" + std::string(4090, 'x') + "v";
    EXPECT_EQ(overLimit, DemangledName(overLimit));
}

// base 36 as substitutions count: S_ is the first, S0_ the second, S9_ the eleventh, SA_ the twelfth.
std::string Substitution(size_t index)
{
    if (index == 0)
        return "S_";
    std::string id;
    for (size_t n = index - 1;; n /= 36) {
        id.insert(id.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[n % 36]);
        if (n < 36)
            break;
    }
    return "S" + id + "_";
}

TEST(DemangledName, GivesBackNamesThatWouldPrintWithoutBound)
{
    // B<A, A>, then B<that, that> again and again: each step doubles the text the name stands for,
    // so that a 2 KB symbol would print 2^150 characters.
    std::string doubling = "_Z1f1A1BIS_S_E";   // S_ = A, S0_ = B, S1_ = B<A, A>
    for (size_t last = 2; doubling.size() < 2000; ++last)
        doubling += "S0_I" + Substitution(last) + Substitution(last) + "E";
    EXPECT_EQ(doubling, DemangledName(doubling));
    // A few steps of it print in full.
    EXPECT_EQ("f(A, B<A, A>, B<B<A, A>, B<A, A> >)", DemangledName("_Z1f1A1BIS_S_ES0_IS1_S1_E"));

    // Nesting as deep as the symbol is long stops the reader, not the stack.
    for (const char* step : { "P", "A1_", "FvE", "N1a", "I" }) {
        std::string deep = "_Z1f";
        while (deep.size() < 4000)
            deep += step;
        deep += "i";
        SCOPED_TRACE(step);
        EXPECT_EQ(deep, DemangledName(deep));
    }
    // Forty levels, deeper than real code goes, still read.
    EXPECT_EQ("f(int" + std::string(40, '*') + ")", DemangledName("_Z1f" + std::string(40, 'P') + "i"));
}

TEST(DemangledName, GivesBackNamesWithNumbersBeyondAnyName)
{
    // binutils 2.26 itself reads such numbers into an int that overflows, and crashes on some.
    for (const char* name : { "_Z99999999999999999999foo", "_ZN7__cxxm1111111111111basic_stringEv",
                              "_ZZ4loopE5level_99999999999999999999", "_ZTv0_n99999999999999999999_N1A1fEv",
                              "_ZN1AIiEUlvE99999999999999999999_clEv" }) {
        SCOPED_TRACE(name);
        EXPECT_EQ(name, DemangledName(name));
    }
}

}  // namespace
