#include "common/AssemblerSyntax.h"

#include <array>

#include "common/Ascii.h"

namespace rastelle {

namespace {

// The words each preset's checked assemblers refuse as a label, or assemble as something
// else; found by assembling each candidate (instructions, registers, directives) as a label
// with them.
// GNU as for Z80 (registers) and xa65 (6502 and 65C02 instructions, registers).
constexpr std::string_view kTasmWords =
    "a adc af and asl b bc bcc bcs beq bit bmi bne bpl bra brk bvc bvs c clc cld cli clv "
    "cmp cpx cpy d de dec dex dey e eor f h hl i inc inx iny ix ixh ixl iy iyh iyl jmp "
    "jsr l lda ldx ldy lsr nop ora pha php phx phy pla plp plx ply r rep rol ror rti rts "
    "sbc sec sed sei sp sta stx sty stz tax tay trb tsb tsx txa txs tya";
// pasmo (Z80 instructions, registers, conditions, directives); z80asm reserves none of them.
constexpr std::string_view kZilogWords =
    "a adc add af and b bc bit c call ccf cp cpd cpdr cpi cpir cpl d daa db de dec defb "
    "defl defm defs defw di djnz ds dw e ei else end endif endm endp equ ex exx h halt hl "
    "i if im in inc incbin include ind indr ini inir irp ix ixh ixl iy iyh iyl jp jr l ld "
    "ldd lddr ldi ldir local m macro nc neg nop not nz or org otdr otir out outd outi p "
    "pe po pop proc public push r rept res ret reti retn rl rla rlc rlca rld rr rra rrc "
    "rrca rrd rst sbc scf set shl shr sla sll sp sra srl sub xor z";
// nasm (x86 registers, directives, prefixes), z80asm and pasmo (as zilog).
constexpr std::string_view kIntelWords =
    "a absolute adc add af ah al align alignb and at ax b bc bh bit bits bl bp bpl bx "
    "byte c call ccf ch cl common cp cpd cpdr cpi cpir cpl cpu cs cx d daa db de dec "
    "default defb defl defm defs defw dh di djnz dl ds dw dword dx e eax ebp ebx ecx edi "
    "edx ei else end endif endm endp equ es esi esp ex extern exx far float fs global gs "
    "h halt hl i if im in inc incbin include ind indr ini inir irp ix ixh ixl iy iyh iyl "
    "jp jr l ld ldd lddr ldi ldir local lock m macro mm0 nc near neg nop not nz or org "
    "otdr otir out outd outi p pe po pop proc public push qword r r10 r15 r8 r9 rax rbp "
    "rbx rcx rdi rdx rep repe repne repnz rept repz res ret reti retn rl rla rlc rlca rld "
    "rr rra rrc rrca rrd rsi rsp rst sbc scf seg set shl short shr si sla sll sp sra srl "
    "ss st0 strict struc sub times to tword wait word wrt xmm0 xor z";
// ca65 and xa65: 6502 and 65C02 instructions, registers.
constexpr std::string_view kCa65Words =
    "a adc and asl bcc bcs beq bit bmi bne bpl bra brk bvc bvs clc cld cli clv cmp cpx "
    "cpy dec dex dey eor f inc inx iny jmp jsr lda ldx ldy lsr nop ora pha php phx phy "
    "pla plp plx ply rep rol ror rti rts sbc sec sed sei sta stx sty stz tax tay trb tsb "
    "tsx txa txs tya x y z";
// acme: 6502 instructions, which it assembles in place of the label.
constexpr std::string_view kAcmeWords =
    "adc and asl bcc bcs beq bit bmi bne bpl brk bvc bvs clc cld cli clv cmp cpx cpy dec "
    "dex dey eor inc inx iny jmp jsr lda ldx ldy lsr nop ora pha php pla plp rol ror rti "
    "rts sbc sec sed sei sta stx sty tax tay tsx txa txs tya";
// as31: 8051 instructions, registers, special function registers, directives.
constexpr std::string_view kSdasWords =
    "a ab acall acc add addc ajmp anl b byte c cjne clr cpl da db dec div djnz dph dpl "
    "dptr dw end equ es flag ie inc ip jb jbc jc jmp jnb jnc jnz jz lcall ljmp mov movc "
    "movx mul nop org orl p p0 p1 p2 p3 pc pcon pop psw push r0 r1 r2 r3 r4 r5 r6 r7 ret "
    "reti rl rlc rr rrc sbuf scon setb sjmp skip sp subb swap tcon th0 th1 tl0 tl1 tmod "
    "word xch xchd xrl";
// GNU as for Z80: registers.
constexpr std::string_view kGasWords = "a af b bc c d de e f h hl i ix ixh ixl iy iyh iyl l r sp";

// C99's keywords; an array named after one would not compile.
constexpr std::string_view kCKeywords =
    "auto break case char const continue default do double else enum extern float for goto if "
    "inline int long register restrict return short signed sizeof static struct switch typedef "
    "union unsigned void volatile while _Bool _Complex _Imaginary";

constexpr std::array kPresets{
    SyntaxPreset{"tasm",
                 {".db", "%", "", ":", "$", "", false, "; ", "", TextKind::Assembler, "", " = ",
                  ".word", ""},
                 "GNU as for Z80, xa65; spasm-ng, sjasmplus, TASM, WLA-DX",
                 "spasm spasm-ng sjasmplus wla-dx wla xa65 xa",
                 kTasmWords,
                 false},
    SyntaxPreset{
        "zilog",
        {"db", "%", "", ":", "$", "", false, "; ", "", TextKind::Assembler, "", ": equ ", "dw", ""},
        "z80asm, pasmo, crasm, as86; rgbasm, vasm",
        "z80asm pasmo crasm as86 rgbasm vasm",
        kZilogWords,
        false},
    SyntaxPreset{
        "intel",
        {"db", "", "b", ":", "", "h", true, "; ", "", TextKind::Assembler, "", ": equ ", "dw", ""},
        "nasm, yasm, fasm, z80asm, pasmo; TASM",
        "nasm yasm fasm",
        kIntelWords,
        false},
    SyntaxPreset{"ca65",
                 {".byte", "%", "", ":", "$", "", false, "; ", "", TextKind::Assembler, "", " = ",
                  ".word", ""},
                 "ca65, 64tass, dasm, xa65",
                 "cc65 64tass dasm",
                 kCa65Words,
                 false},
    SyntaxPreset{"acme",
                 {"!byte", "%", "", ":", "$", "", false, "; ", "", TextKind::Assembler, "", " = ",
                  "!word", ""},
                 "acme",
                 "",
                 kAcmeWords,
                 false},
    SyntaxPreset{"sdas",
                 {".db", "0b", "", ":", "0x", "", false, "; ", "", TextKind::Assembler, "\t.equ ",
                  ", ", ".dw", ""},
                 "as31, sdasz80 and the other sdas (sdcc), avra; Microchip's AVR assembler",
                 "sdasz80 sdasgb sdas6808 sdas8051 sdas390 sdasrab sdasstm8 sdastlcs90 "
                 "sdaspdk13 sdaspdk14 sdaspdk15 avra as31",
                 kSdasWords,
                 true},
    SyntaxPreset{"gas",
                 {".byte", "0b", "", ":", "0x", "", false, "/* ", " */", TextKind::Assembler, "",
                  " = ", ".word", ".2byte"},
                 "GNU as for Z80, AVR, 68HC11, 68k, ARM, x86",
                 "gnu-as",
                 kGasWords,
                 false},
    // Binary literals are not C before C23: these take hexadecimal or decimal only.
    SyntaxPreset{
        "c",
        {"", "0b", "", "", "0x", "", false, "/* ", " */", TextKind::C, "#define ", " ", "", ""},
        "gcc, clang; Arduino, Adafruit GFX",
        "arduino",
        kCKeywords,
        false},
    SyntaxPreset{
        "xbm",
        {"", "0b", "", "", "0x", "", false, "/* ", " */", TextKind::Xbm, "#define ", " ", "", ""},
        "ImageMagick, Pillow; X11, u8g2",
        "x11",
        "",
        false},
};

constexpr DisplayTarget kTargets[] = {
    {"ssd1306", "sh1106 pcd8544", "SSD1306, SH1106 and PCD8544 display memory: pages of 8 rows",
     ByteLayout::Pages, BitOrder::Bit0First, false, Radix::Hex, ""},
    {"adafruit-gfx", "gfx", "Adafruit GFX drawBitmap(): a C array of rows", ByteLayout::Rows,
     BitOrder::Bit7First, false, Radix::Hex, "c"},
    {"u8g2", "u8g", "u8g2 drawXBM() and X11: an X BitMap", ByteLayout::Rows, BitOrder::Bit0First,
     false, Radix::Hex, "xbm"},
    {"st7920", "", "ST7920 graphic display memory: rows", ByteLayout::Rows, BitOrder::Bit7First,
     false, Radix::Hex, ""},
    {"epaper", "e-paper eink", "e-paper panels (Waveshare, GxEPD2): rows, 1 for white",
     ByteLayout::Rows, BitOrder::Bit7First, true, Radix::Hex, ""},
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// The word of the space-separated `words` that is `name` (in any case unless `exactCase`), or
// empty.
std::string_view FindWord(std::string_view words, std::string_view name, bool exactCase = false) {
    while (!words.empty()) {
        const std::size_t space = words.find(' ');
        const std::string_view word = words.substr(0, space);
        if (exactCase ? word == name : SameIgnoringCase(word, name))
            return words.substr(0, space);
        words = space == std::string_view::npos ? std::string_view{} : words.substr(space + 1);
    }
    return {};
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::span<const SyntaxPreset> SyntaxPresets() {
    return kPresets;
}

const SyntaxPreset* FindSyntaxPreset(std::string_view name) {
    for (const SyntaxPreset& preset : kPresets) {
        if (SameIgnoringCase(preset.name, name))
            return &preset;
    }
    for (const SyntaxPreset& preset : kPresets) {
        if (!FindWord(preset.aliases, name).empty())
            return &preset;
    }
    return nullptr;
}

std::span<const DisplayTarget> DisplayTargets() {
    return kTargets;
}

const DisplayTarget* FindDisplayTarget(std::string_view name) {
    for (const DisplayTarget& target : kTargets) {
        if (SameIgnoringCase(target.name, name) || !FindWord(target.aliases, name).empty())
            return &target;
    }
    return nullptr;
}

std::string_view ReservedWord(const SyntaxPreset& preset, std::string_view label) {
    // C's keywords are words of one case: "If" is a name.
    return FindWord(preset.reservedWords, label, preset.syntax.kind == TextKind::C);
}

bool IsValidLabel(std::string_view label) {
    if (label.empty() || IsDigit(label[0]))
        return false;
    for (const char c : label) {
        if (!IsLetter(c) && !IsDigit(c))
            return false;
    }
    return true;
}

std::string LabelFromStem(std::string_view stem) {
    std::string label;
    if (stem.empty() || IsDigit(stem[0]))
        label += '_';
    for (const char c : stem) {
        // A UTF-8 continuation byte belongs to the character already replaced.
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80)
            continue;
        label += IsLetter(c) || IsDigit(c) ? c : '_';
    }
    return label.empty() ? "_" : label;
}

}  // namespace rastelle
