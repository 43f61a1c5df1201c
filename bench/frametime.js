// The time of one draw on an ATmega328P at 16 MHz with both buses timed as
// the chip times them, in avr8js: the SPI takes its divider's time a byte;
// the TWI takes 9 SCL periods a byte (8 bits and the acknowledge) and one
// for a START or a STOP, at the clock TWBR and the prescaler set. Every
// module acknowledges.
//
//   node frametime.js firmware.hex draw-address
//
// Runs the firmware until the function at draw-address (a byte address,
// as avr-nm gives it) returns the first time, and prints its cycles, its
// time, the bytes it sent and the stack it took below its return address.
'use strict';
const fs = require('fs');
const avr = require('avr8js');

const FREQUENCY = 16e6;

function loadHex(file) {
  const program = new Uint16Array(0x4000);
  const bytes = new Uint8Array(program.buffer);
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    if (!line.startsWith(':') || line.slice(7, 9) !== '00') continue;
    const count = parseInt(line.slice(1, 3), 16);
    const address = parseInt(line.slice(3, 7), 16);
    for (let i = 0; i < count; i++)
      bytes[address + i] = parseInt(line.slice(9 + 2 * i, 11 + 2 * i), 16);
  }
  return program;
}

// A TWI on which every step ends after the bus time it takes.
class TimedBus {
  constructor(cpu, twi) {
    this.cpu = cpu;
    this.twi = twi;
    this.bytes = 0;
  }
  after(periods, complete) {
    this.cpu.addClockEvent(complete, Math.round(periods * (FREQUENCY / this.twi.sclFrequency)));
  }
  start() { this.after(1, () => this.twi.completeStart()); }
  stop() { this.after(1, () => this.twi.completeStop()); }
  connectToSlave() { this.bytes++; this.after(9, () => this.twi.completeConnect(true)); }
  writeByte() { this.bytes++; this.after(9, () => this.twi.completeWrite(true)); }
  readByte() { this.after(9, () => this.twi.completeRead(0xff)); }
}

function main() {
  const [hex, drawText] = process.argv.slice(2);
  if (!hex || !drawText) {
    console.error('usage: node frametime.js firmware.hex draw-address');
    process.exit(2);
  }
  const entry = parseInt(drawText, 16) / 2; // the PC counts words
  const cpu = new avr.CPU(loadHex(hex));
  const twi = new avr.AVRTWI(cpu, avr.twiConfig, FREQUENCY);
  const i2c = new TimedBus(cpu, twi);
  twi.eventHandler = i2c;
  const spi = new avr.AVRSPI(cpu, avr.spiConfig, FREQUENCY);
  let spiBytes = 0;
  spi.onByte = (value) => {
    spiBytes++;
    cpu.addClockEvent(() => spi.completeTransfer(0xff), spi.transferCycles);
  };
  for (const port of [avr.portBConfig, avr.portCConfig, avr.portDConfig])
    new avr.AVRIOPort(cpu, port);

  const limit = 200e6; // 12.5 simulated seconds
  let startCycles = -1, returnTo = -1, entrySP = 0, lowestSP = 0, i2cBefore = 0, spiBefore = 0;
  while (cpu.cycles < limit) {
    if (returnTo < 0 && cpu.pc === entry) {
      startCycles = cpu.cycles;
      entrySP = lowestSP = cpu.SP;
      returnTo = (cpu.data[cpu.SP + 1] << 8) | cpu.data[cpu.SP + 2];
      i2cBefore = i2c.bytes;
      spiBefore = spiBytes;
    } else if (returnTo >= 0 && cpu.pc === returnTo && cpu.SP > entrySP) {
      const cycles = cpu.cycles - startCycles;
      console.log(`${cycles} cycles, ${(cycles / FREQUENCY * 1000).toFixed(2)} ms, ` +
                  `${i2c.bytes - i2cBefore} bytes on I2C, ${spiBytes - spiBefore} on SPI, ` +
                  `${entrySP - lowestSP + 2} bytes of stack with the return address`);
      return;
    }
    if (returnTo >= 0 && cpu.SP < lowestSP) lowestSP = cpu.SP;
    avr.avrInstruction(cpu);
    cpu.tick();
  }
  console.error('frametime: the draw did not return within the cycle limit');
  process.exit(1);
}

main();
