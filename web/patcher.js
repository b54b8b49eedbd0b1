// A patcher page: the patches inside it, checked whole when it opens, applied
// in order to the file the player chooses.
const applyArea = workArea("apply");
let data = null;

// The page's patches from its data, each checked against its CRC-32; throws
// on anything missing or damaged.
function readData() {
    const read = JSON.parse($("patcher-data").textContent);
    if (typeof read.title !== "string" || typeof read.note !== "string" || !Number.isInteger(read.codePage)
        || !Array.isArray(read.patches) || !read.patches.length)
        throw new Error("its data is incomplete");
    read.patches = read.patches.map((patch, i) => {
        const bytes = Uint8Array.from(atob(patch.bytes), (c) => c.charCodeAt(0));
        if (typeof patch.name !== "string" || typeof patch.optional !== "boolean" || crc32(bytes) !== patch.crc)
            throw new Error(`patch ${i + 1} is damaged`);
        return { name: patch.name, optional: patch.optional, bytes };
    });
    return read;
}

function damaged(why) {
    showVerdict(`This patcher page is damaged: ${why}. Nothing can be applied.`);
    $("target").disabled = true;
    $("apply").disabled = true;
}

const chosen = () => data.patches.filter((_, i) => $(`use-${i + 1}`).checked);
const request = () => ({ patches: chosen().map(({ name, bytes }) => ({ name, bytes })), target: $("target").files[0],
                         codePage: data.codePage });
const undoFor = () => (safeName(data.title) || "patcher") + ".ov";

async function refreshVerdict(event) {
    clearResult();
    $("apply").disabled = true;
    if (!$("target").files[0] || !chosen().length) {
        showVerdict("");
        return;
    }
    await judgeInto(applyArea, request(), event.target);
}

async function load() {
    try {
        data = readData();
    } catch (problem) {
        return damaged(problem instanceof SyntaxError ? "its data cannot be read" : problem.message);
    }
    const answer = await ask(applyArea, { kind: "judge", patches: data.patches, target: null, codePage: data.codePage },
                             null);
    if (answer.problem || answer.refused)
        return damaged(answer.problem || `${data.patches[answer.refused - 1].name}: ${lines(answer.lines)}`);
    document.title = data.title || "Patcher";
    $("title").textContent = data.title || "Patcher";
    $("note").textContent = data.note;
    $("patches").replaceChildren(...data.patches.map((patch, i) => {
        const item = document.createElement("li"), box = document.createElement("input");
        const label = document.createElement("label"), about = document.createElement("p");
        box.type = "checkbox";
        box.id = `use-${i + 1}`;
        box.checked = box.disabled = !patch.optional;
        box.addEventListener("change", refreshVerdict);
        label.htmlFor = box.id;
        label.textContent = `${patch.name}${patch.optional ? " (optional)" : ""}`;
        about.textContent = lines(answer.each[i]);
        item.append(box, " ", label, about);
        return item;
    }));
    showVerdict("");
    $("target").disabled = false;
}

$("target").addEventListener("change", refreshVerdict);
$("apply").addEventListener("click", () => {
    if (!applyArea.jobs.length)
        applyPatches(applyArea, request(), undoFor(), chosen().map((patch) => patch.name).join(", "));
});
load();
