// The worker's reads. Each new slice of a file costs the browser about as
// much as streaming a few MiB of it, so pieces asked for in ascending order
// come through one stream while they lie close together.

// Positions closer than this share one read, and a gap shorter than this is
// read through rather than a new slice asked for.
const NEAR = 1 << 20;

// Held here: a stream the collector takes mid-read never answers.
const reading = new Set();

// A reader of `file` for pieces at ascending offsets. `read(at, length,
// buffer)` fills `buffer`, which the stream takes and gives back, so that no
// read allocates, and resolves with the bytes; `close()` ends the stream.
function sequentialReader(file) {
    let reader = null, position = 0;
    const close = async () => {
        const open = reader;
        reader = null;
        reading.delete(open);
        // An open stream holds one of the few reads the browser runs at once.
        await (open && open.cancel().catch(() => {}));
    };
    const fill = async (buffer, count) => {
        let got = 0;
        while (got < count) {
            const { value, done } = await reader.read(new Uint8Array(buffer, got, count - got));
            if (value)
                buffer = value.buffer;
            if (done)
                break;
            got += value.byteLength;
        }
        position += got;
        if (got < count)
            throw unreadable(file);
        return buffer;
    };
    const read = async (at, length, buffer) => {
        try {
            if (!reader || at < position || at - position >= NEAR) {
                await close();
                reader = file.slice(at).stream().getReader({ mode: "byob" });
                reading.add(reader);
                position = at;
            }
            // The gap goes into the buffer first, for the piece to overwrite.
            buffer = await fill(await fill(buffer, at - position), length);
            return new Uint8Array(buffer, 0, length);
        } catch {
            await close();
            throw unreadable(file);
        }
    };
    return { read, close };
}

// Reads `length` bytes of `file` at `at` into `buffer` on their own.
async function readInto(file, at, length, buffer) {
    const reader = sequentialReader(file);
    try {
        return await reader.read(at, length, buffer);
    } finally {
        await reader.close();
    }
}

// A read started ahead that may never be awaited must not fail unheard.
const ahead = (promise) => (promise.catch(() => {}), promise);
