#!/usr/bin/python3
"""Writes a synthetic Piper-compatible voice into a voice store.

The model speaks one tone per phoneme id: every id lasts floor(0.03 s * rate * length_scale)
samples, its pitch rises with the id and, for multi-speaker models, with the speaker id. The
noise scale adds a little random noise, as real VITS models do. With --bench a stack of large
matrix products over audio frames shapes the loudness, so the file is about 60 MB and inference
costs about what a medium Piper voice costs.

Layout written: <voices-dir>/<uid>/<uid>.onnx, <uid>.onnx.json and speakers/spk-N.json.
"""

import argparse
import json
import math
import os
import sys

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

OPSET = 15
SECONDS_PER_ID = 0.03
QUALITY_NAMES = {0: "x_low", 1: "low", 2: "medium", 3: "high"}


class Graph:
    def __init__(self):
        self.nodes = []
        self.initializers = []
        self.count = 0

    def const(self, value, dtype):
        self.count += 1
        name = "c%d" % self.count
        self.initializers.append(numpy_helper.from_array(np.array(value, dtype=dtype), name))
        return name

    def op(self, op_type, inputs, **attrs):
        self.count += 1
        name = "t%d" % self.count
        self.nodes.append(helper.make_node(op_type, inputs, [name], **attrs))
        return name


def bench_gain(g, ids_per_sample, t, total, args):
    """Per-sample gain in [0.5, 1] computed by a deep stack of dense layers over frames."""
    rng = np.random.default_rng(7)
    dim, layers, hop = args.bench_dim, args.bench_layers, args.bench_hop
    frame_pos = g.op("Range", [g.const(0, np.int64), total, g.const(hop, np.int64)])
    frame_ids = g.op("Gather", [ids_per_sample, frame_pos], axis=0)
    emb = g.const(rng.standard_normal((256, dim), dtype=np.float32), np.float32)
    h = g.op("Gather", [emb, frame_ids], axis=0)
    for _ in range(layers):
        w = rng.standard_normal((dim, dim), dtype=np.float32) / np.float32(math.sqrt(dim))
        h = g.op("Tanh", [g.op("MatMul", [h, g.const(w, np.float32)])])
    w_out = rng.standard_normal((dim, 1), dtype=np.float32) / np.float32(math.sqrt(dim))
    frame_gain = g.op("Sigmoid", [g.op("MatMul", [h, g.const(w_out, np.float32)])])
    frame_gain = g.op("Reshape", [frame_gain, g.const([-1], np.int64)])
    sample_gain = g.op("Gather", [frame_gain, g.op("Div", [t, g.const(hop, np.int64)])], axis=0)
    return g.op("Add", [g.const(0.5, np.float32), g.op("Mul", [sample_gain, g.const(0.5, np.float32)])])


def build_model(args):
    g = Graph()
    rate = float(args.sample_rate)
    inputs = [
        helper.make_tensor_value_info("input", TensorProto.INT64, [1, "phonemes"]),
        helper.make_tensor_value_info("input_lengths", TensorProto.INT64, [1]),
        helper.make_tensor_value_info("scales", TensorProto.FLOAT, [3]),
    ]
    if args.speakers > 1:
        inputs.append(helper.make_tensor_value_info("sid", TensorProto.INT64, [1]))

    noise_scale = g.op("Gather", ["scales", g.const(0, np.int64)], axis=0)
    length_scale = g.op("Gather", ["scales", g.const(1, np.int64)], axis=0)
    per_id = g.op("Floor", [g.op("Mul", [length_scale, g.const(SECONDS_PER_ID * rate, np.float32)])])
    per_id = g.op("Cast", [g.op("Max", [per_id, g.const(1.0, np.float32)])], to=TensorProto.INT64)

    ids = g.op("Squeeze", ["input", g.const([0], np.int64)])
    total = g.op("Squeeze", [g.op("Mul", ["input_lengths", per_id]), g.const([0], np.int64)])
    t = g.op("Range", [g.const(0, np.int64), total, g.const(1, np.int64)])
    slot = g.op("Div", [t, per_id])
    local = g.op("Sub", [t, g.op("Mul", [slot, per_id])])
    ids_per_sample = g.op("Gather", [ids, slot], axis=0)

    freq = g.op("Cast", [ids_per_sample], to=TensorProto.FLOAT)
    freq = g.op("Add", [g.op("Mul", [freq, g.const(10.0, np.float32)]), g.const(120.0, np.float32)])
    if args.speakers > 1:
        sid = g.op("Cast", ["sid"], to=TensorProto.FLOAT)
        pitch = g.op("Add", [g.const(1.0, np.float32), g.op("Mul", [sid, g.const(0.25, np.float32)])])
        freq = g.op("Mul", [freq, pitch])
    phase = g.op("Mul", [g.op("Cast", [local], to=TensorProto.FLOAT), g.const(2 * math.pi / rate, np.float32)])
    tone = g.op("Mul", [g.op("Sin", [g.op("Mul", [freq, phase])]), g.const(args.amplitude, np.float32)])
    if args.bench:
        tone = g.op("Mul", [tone, bench_gain(g, ids_per_sample, t, total, args)])

    noise = g.op("RandomNormalLike", [tone], dtype=TensorProto.FLOAT)
    noise = g.op("Mul", [noise, g.op("Mul", [noise_scale, g.const(args.amplitude * 0.002, np.float32)])])
    audio = g.op("Add", [tone, noise])

    shape = {2: [1, -1], 3: [1, 1, -1], 4: [1, 1, 1, -1]}[args.output_rank]
    g.nodes.append(helper.make_node("Reshape", [audio, g.const(shape, np.int64)], ["output"]))
    out_dims = [1] * (args.output_rank - 1) + ["samples"]
    outputs = [helper.make_tensor_value_info("output", TensorProto.FLOAT, out_dims)]

    graph = helper.make_graph(g.nodes, "voicegen", inputs, outputs, g.initializers)
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)], producer_name="voicegen")
    model.ir_version = 8
    onnx.checker.check_model(model)
    return model


def voice_config(args, id_map):
    config = {
        "dataset": args.name,
        "audio": {"sample_rate": args.sample_rate, "quality": QUALITY_NAMES.get(args.quality, "medium")},
        "espeak": {"voice": args.espeak_voice},
        "language": {"code": args.lang, "name_native": args.native, "name_english": args.eng},
        "inference": {"noise_scale": 0.667, "length_scale": 1, "noise_w": 0.8},
        "phoneme_type": args.phoneme_type,
        "phoneme_map": {},
        "phoneme_id_map": id_map,
        "num_symbols": 256,
        "num_speakers": args.speakers,
        "speaker_id_map": {},
    }
    if args.speakers > 1:
        config["speaker_id_map"] = {"speaker_%d" % i: i for i in range(args.speakers)}
    return config


def descriptor(args, spk):
    user_name = args.user_name if args.user_name else "Speaker %d" % spk
    return {
        "uid": args.uid,
        "spk": spk,
        "lang": args.lang,
        "eng": args.eng,
        "native": args.native,
        "name": args.name,
        "user_name": user_name,
        "sex": args.sex,
        "quality": args.quality,
    }


def write_text(path, text):
    # Written beside the target and renamed, so a reader never meets half a file.
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(tmp, path)


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--voices-dir", required=True, help="voice store folder")
    p.add_argument("--uid", default="test-voice")
    p.add_argument("--sample-rate", type=int, default=22050)
    p.add_argument("--speakers", type=int, default=1, help="above 1: the model takes a sid input")
    p.add_argument("--installed", default="", help="comma-separated speakers given a descriptor; default all")
    p.add_argument("--espeak-voice", default="en-us")
    p.add_argument("--phoneme-type", default="espeak", choices=["espeak", "text"])
    p.add_argument("--lang", default="en_US")
    p.add_argument("--eng", default="English")
    p.add_argument("--native", default="English")
    p.add_argument("--name", default="test")
    p.add_argument("--user-name", default="")
    p.add_argument("--sex", type=int, default=2)
    p.add_argument("--quality", type=int, default=2)
    p.add_argument("--amplitude", type=float, default=0.5)
    p.add_argument("--output-rank", type=int, default=3, choices=[2, 3, 4])
    p.add_argument("--bench", action="store_true", help="about 60 MB model with a realistic inference cost")
    p.add_argument("--bench-dim", type=int, default=1920)
    p.add_argument("--bench-layers", type=int, default=4)
    p.add_argument("--bench-hop", type=int, default=128)
    args = p.parse_args(argv)
    if args.speakers < 1 or args.sample_rate < 1000:
        p.error("--speakers must be at least 1 and --sample-rate at least 1000")
    return args


def main(argv):
    args = parse_args(argv)
    installed = [int(s) for s in args.installed.split(",") if s.strip()] or list(range(args.speakers))
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "phoneme_id_map.json"), encoding="utf-8") as f:
        id_map = json.load(f)

    folder = os.path.join(args.voices_dir, args.uid)
    os.makedirs(os.path.join(folder, "speakers"), exist_ok=True)
    model_path = os.path.join(folder, args.uid + ".onnx")
    onnx.save(build_model(args), model_path + ".tmp")
    os.replace(model_path + ".tmp", model_path)
    write_text(model_path + ".json", json.dumps(voice_config(args, id_map), ensure_ascii=False, indent=2))
    for spk in installed:
        path = os.path.join(folder, "speakers", "spk-%d.json" % spk)
        write_text(path, json.dumps(descriptor(args, spk), ensure_ascii=False))
    print(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
