//
// Height map: the coarse noise once across the map plus the fine noise
// tiled sixteen times. Both noise textures hold 0 as mid-grey.
//

texture Noise0;
texture Noise1;

sampler sNoise0 = sampler_state
{
    Texture = <Noise0>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

sampler sNoise1 = sampler_state
{
    Texture = <Noise1>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

struct VS_OUTPUT_HEIGHTMAP
{
    float4 Position  : POSITION;
    float  Fog       : FOG;
    float2 TexCoord0 : TEXCOORD0;
    float2 TexCoord1 : TEXCOORD1;
};

// The quad covers the whole target from its texture coordinates alone.
VS_OUTPUT_HEIGHTMAP HeightMapVS(float2 TexCoord : TEXCOORD0)
{
    VS_OUTPUT_HEIGHTMAP Out;
    Out.Position = float4(TexCoord.x * 2.0f - 1.0f, 1.0f - TexCoord.y * 2.0f, 1.0f, 1.0f);
    Out.Fog = 1.0f;
    Out.TexCoord0 = TexCoord;
    Out.TexCoord1 = TexCoord * 16.0f;
    return Out;
}

float4 HeightMapPS(float2 TexCoord0 : TEXCOORD0,
                   float2 TexCoord1 : TEXCOORD1) : COLOR0
{
    return tex2D(sNoise0, TexCoord0) + tex2D(sNoise1, TexCoord1) - 0.5f;
}

technique T1X
{
    pass P0
    {
        VertexShader = compile vs_1_1 HeightMapVS();
        PixelShader = compile ps_1_1 HeightMapPS();
    }
}
