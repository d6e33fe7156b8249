// The power-of-ten tables of the software arithmetic: the same 80 bits as the x87's tables, the
// extended nearest to each power (exact up to 10^27), written out since no long double of the
// target holds them; a unit test checks the large and medium entries against exact big-integer
// powers on every target.
#include "numconv/powers_of_ten.h"

const Extended SmallPowersOfTen[32] = {
    ExtendedConstant(0x3FFF, UINT64_C(0x8000000000000000)),  // 10^0
    ExtendedConstant(0x4002, UINT64_C(0xA000000000000000)),  // 10^1
    ExtendedConstant(0x4005, UINT64_C(0xC800000000000000)),  // 10^2
    ExtendedConstant(0x4008, UINT64_C(0xFA00000000000000)),  // 10^3
    ExtendedConstant(0x400C, UINT64_C(0x9C40000000000000)),  // 10^4
    ExtendedConstant(0x400F, UINT64_C(0xC350000000000000)),  // 10^5
    ExtendedConstant(0x4012, UINT64_C(0xF424000000000000)),  // 10^6
    ExtendedConstant(0x4016, UINT64_C(0x9896800000000000)),  // 10^7
    ExtendedConstant(0x4019, UINT64_C(0xBEBC200000000000)),  // 10^8
    ExtendedConstant(0x401C, UINT64_C(0xEE6B280000000000)),  // 10^9
    ExtendedConstant(0x4020, UINT64_C(0x9502F90000000000)),  // 10^10
    ExtendedConstant(0x4023, UINT64_C(0xBA43B74000000000)),  // 10^11
    ExtendedConstant(0x4026, UINT64_C(0xE8D4A51000000000)),  // 10^12
    ExtendedConstant(0x402A, UINT64_C(0x9184E72A00000000)),  // 10^13
    ExtendedConstant(0x402D, UINT64_C(0xB5E620F480000000)),  // 10^14
    ExtendedConstant(0x4030, UINT64_C(0xE35FA931A0000000)),  // 10^15
    ExtendedConstant(0x4034, UINT64_C(0x8E1BC9BF04000000)),  // 10^16
    ExtendedConstant(0x4037, UINT64_C(0xB1A2BC2EC5000000)),  // 10^17
    ExtendedConstant(0x403A, UINT64_C(0xDE0B6B3A76400000)),  // 10^18
    ExtendedConstant(0x403E, UINT64_C(0x8AC7230489E80000)),  // 10^19
    ExtendedConstant(0x4041, UINT64_C(0xAD78EBC5AC620000)),  // 10^20
    ExtendedConstant(0x4044, UINT64_C(0xD8D726B7177A8000)),  // 10^21
    ExtendedConstant(0x4048, UINT64_C(0x878678326EAC9000)),  // 10^22
    ExtendedConstant(0x404B, UINT64_C(0xA968163F0A57B400)),  // 10^23
    ExtendedConstant(0x404E, UINT64_C(0xD3C21BCECCEDA100)),  // 10^24
    ExtendedConstant(0x4052, UINT64_C(0x84595161401484A0)),  // 10^25
    ExtendedConstant(0x4055, UINT64_C(0xA56FA5B99019A5C8)),  // 10^26
    ExtendedConstant(0x4058, UINT64_C(0xCECB8F27F4200F3A)),  // 10^27
    ExtendedConstant(0x405C, UINT64_C(0x813F3978F8940984)),  // 10^28
    ExtendedConstant(0x405F, UINT64_C(0xA18F07D736B90BE5)),  // 10^29
    ExtendedConstant(0x4062, UINT64_C(0xC9F2C9CD04674EDF)),  // 10^30
    ExtendedConstant(0x4065, UINT64_C(0xFC6F7C4045812296)),  // 10^31
};

const Extended MediumPowersOfTen[16] = {
    ExtendedConstant(0x3FFF, UINT64_C(0x8000000000000000)),  // 10^0
    ExtendedConstant(0x4069, UINT64_C(0x9DC5ADA82B70B59E)),  // 10^32
    ExtendedConstant(0x40D3, UINT64_C(0xC2781F49FFCFA6D5)),  // 10^64
    ExtendedConstant(0x413D, UINT64_C(0xEFB3AB16C59B14A3)),  // 10^96
    ExtendedConstant(0x41A8, UINT64_C(0x93BA47C980E98CE0)),  // 10^128
    ExtendedConstant(0x4212, UINT64_C(0xB616A12B7FE617AA)),  // 10^160
    ExtendedConstant(0x427C, UINT64_C(0xE070F78D3927556B)),  // 10^192
    ExtendedConstant(0x42E7, UINT64_C(0x8A5296FFE33CC930)),  // 10^224
    ExtendedConstant(0x4351, UINT64_C(0xAA7EEBFB9DF9DE8E)),  // 10^256
    ExtendedConstant(0x43BB, UINT64_C(0xD226FC195C6A2F8C)),  // 10^288
    ExtendedConstant(0x4426, UINT64_C(0x81842F29F2CCE376)),  // 10^320
    ExtendedConstant(0x4490, UINT64_C(0x9FA42700DB900AD2)),  // 10^352
    ExtendedConstant(0x44FA, UINT64_C(0xC4C5E310AEF8AA17)),  // 10^384
    ExtendedConstant(0x4564, UINT64_C(0xF28A9C07E9B09C59)),  // 10^416
    ExtendedConstant(0x45CF, UINT64_C(0x957A4AE1EBF7F3D4)),  // 10^448
    ExtendedConstant(0x4639, UINT64_C(0xB83ED8DC0795A262)),  // 10^480
};

const Extended LargePowersOfTen[10] = {
    ExtendedConstant(0x3FFF, UINT64_C(0x8000000000000000)),  // 10^0
    ExtendedConstant(0x46A3, UINT64_C(0xE319A0AEA60E91C7)),  // 10^512
    ExtendedConstant(0x4D48, UINT64_C(0xC976758681750C17)),  // 10^1024
    ExtendedConstant(0x53ED, UINT64_C(0xB2B8353B3993A7E4)),  // 10^1536
    ExtendedConstant(0x5A92, UINT64_C(0x9E8B3B5DC53D5DE5)),  // 10^2048
    ExtendedConstant(0x6137, UINT64_C(0x8CA554C020A1F0A6)),  // 10^2560
    ExtendedConstant(0x67DB, UINT64_C(0xF9895D25D88B5A8B)),  // 10^3072
    ExtendedConstant(0x6E80, UINT64_C(0xDD5DC8A2BF27F3F8)),  // 10^3584
    ExtendedConstant(0x7525, UINT64_C(0xC46052028A20979B)),  // 10^4096
    ExtendedConstant(0x7BCA, UINT64_C(0xAE3511626ED559F0)),  // 10^4608
};
