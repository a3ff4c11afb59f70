/* The radio's program, for its ARM Cortex-M0: it sends a beacon on each
   channel of its hop table in turn, through the radio peripheral's
   registers. The main processor carries the image built from it
   (radio.hex, which this folder's Makefile builds) and loads it into the
   radio.

   The image starts with the vector table; right after it, at offset 0xC0,
   a table of contents says where .text ends and where .data's initial
   values are stored, so that a loader can check an image before it sends
   it. */
#include <stdint.h>

/* The radio peripheral's registers. */
#define RADIO_CHANNEL (*(volatile uint32_t*)0x40002000UL)
#define RADIO_POWER (*(volatile uint32_t*)0x40002004UL)
#define RADIO_TXDATA (*(volatile uint32_t*)0x40002008UL)
#define RADIO_STATUS (*(volatile uint32_t*)0x4000200CUL)
#define RADIO_BUSY 1UL

/* What radio.ld defines. */
extern uint32_t _estack, _etext, _sidata, _sdata, _edata, _sbss, _ebss;

/* Settings the main processor may change in RAM before it starts the
   radio; the program moves channel on by itself. In .data: their initial
   values are stored in the image, after .text. */
struct Settings {
  uint32_t network_id;
  uint16_t interval; /* rounds of waiting between beacons */
  uint8_t power;
  uint8_t channel; /* an index into hop_channels */
};
struct Settings settings = {0x5A17C0DEUL, 5000, 3, 0};

/* The channels it hops over and a beacon's preamble: constants. */
static const uint8_t hop_channels[] = {11, 15, 20, 25, 26};
static const uint8_t preamble[] = {0xAA, 0xAA, 0xAA, 0xAA, 0x7E};

/* Beacons sent since reset: in .bss, zeroed at reset. */
static uint32_t beacons_sent;

static void Send(uint8_t byte) {
  while (RADIO_STATUS & RADIO_BUSY) {
  }
  RADIO_TXDATA = byte;
}

static void SendBeacon(void) {
  for (unsigned i = 0; i < sizeof preamble; ++i) {
    Send(preamble[i]);
  }
  for (unsigned shift = 0; shift < 32; shift += 8) {
    Send((uint8_t)(settings.network_id >> shift));
  }
  Send((uint8_t)beacons_sent);
}

void Reset_Handler(void) {
  const uint32_t* from = &_sidata;
  for (uint32_t* to = &_sdata; to < &_edata;) {
    *to++ = *from++;
  }
  for (uint32_t* to = &_sbss; to < &_ebss;) {
    *to++ = 0;
  }
  for (;;) {
    RADIO_CHANNEL = hop_channels[settings.channel];
    RADIO_POWER = settings.power;
    SendBeacon();
    ++beacons_sent;
    if (++settings.channel == sizeof hop_channels) {
      settings.channel = 0;
    }
    for (volatile uint32_t wait = settings.interval; wait != 0; --wait) {
    }
  }
}

/* Faults and interrupts it does not expect: it stops here. */
void Default_Handler(void) {
  for (;;) {
  }
}

typedef void (*Handler)(void);

/* The Cortex-M0's vector table, at the start of flash: the initial stack
   pointer, the reset handler, the 14 other exceptions' handlers and 32
   interrupts'. */
struct Vectors {
  const uint32_t* initial_stack;
  Handler reset;
  Handler exceptions[14];
  Handler interrupts[32];
};
static const struct Vectors vectors
    __attribute__((section(".vectors"), used)) = {
        &_estack,
        Reset_Handler,
        {[0 ... 13] = Default_Handler},
        {[0 ... 31] = Default_Handler},
};

/* The table of contents: "RDIO", then addresses. .data's initial values
   are stored from data_load on, data_end - data_start bytes. */
struct Contents {
  char magic[4];
  const uint32_t* text_end;
  const uint32_t* data_load;
  const uint32_t* data_start;
  const uint32_t* data_end;
};
static const struct Contents contents
    __attribute__((section(".contents"), used)) = {
        {'R', 'D', 'I', 'O'}, &_etext, &_sidata, &_sdata, &_edata};
